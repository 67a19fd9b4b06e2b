#!/usr/bin/env bash
# Command-line check of nivra-ui: only "--trace", given alone, lowers the log level,
# so that the acquisition engine's Debug lines reach the log window. Driven through
# the X server like run_e2e.sh; run it inside an X server of its own.
#
#   run_trace_flag.sh <nivra-ui> <work dir> shown|hidden [program arguments...]
set -u

APP=$1
WORK=$2
EXPECT=$3
shift 3
TITLE='NIVRA-ENC Local User Interface v2.0.0'

rm -rf "$WORK"
mkdir -p "$WORK"
export NIVRA_SIM_TRACE="$WORK/sim-trace.txt"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"

PID=
fail() {
    echo "FAIL: $*"
    [ -n "$PID" ] && kill "$PID" 2>/dev/null
    exit 1
}
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }

"$APP" "$@" >"$WORK/program-output.txt" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --onlyvisible --name "^${TITLE}\$" | head -1)
[ -n "$WIN" ] || fail "no main window"
sleep 2.5   # at least one acquisition cycle, which logs at Debug

# Help > Log; level filter down to Trace (the combo is fifth in the tab order), save.
focus "$WIN"
xdotool key alt+h
sleep 0.5
xdotool key l
LOGWIN=$(timeout 10 xdotool search --sync --onlyvisible --name '^Log window$' | head -1)
[ -n "$LOGWIN" ] || fail "no log window"
focus "$LOGWIN"
xdotool key Tab Tab Tab Tab Home
sleep 0.3
xdotool key alt+s
SAVE=$(timeout 10 xdotool search --sync --onlyvisible --name '^Save log$' | head -1)
[ -n "$SAVE" ] || fail "no save dialog"
focus "$SAVE"
xdotool type --delay 20 "$WORK/shown"
xdotool key Return
for _ in $(seq 1 25); do [ -s "$WORK/shown.log" ] && break; sleep 0.2; done
[ -s "$WORK/shown.log" ] || fail "log not saved"
grep -q 'Started logger' "$WORK/shown.log" || fail "no 'Started logger' line"

focus "$WIN"
xdotool key alt+f
sleep 0.5
xdotool key e
wait "$PID"
RC=$?
PID=
[ "$RC" -eq 0 ] || fail "exit code $RC"

if grep -q 'updateGraphs read' "$WORK/shown.log"; then
    [ "$EXPECT" = shown ] || fail "Debug lines shown with arguments: $*"
else
    [ "$EXPECT" = hidden ] || fail "no Debug lines with arguments: $*"
fi
echo "PASS: Debug lines $EXPECT with arguments: $*"
