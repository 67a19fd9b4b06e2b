#!/usr/bin/env bash
# File > Exit during a 3-D rocking scan: the program ends within about a second with
# code 0, the scan hands the outputs back (multiplexer 1) after its last point and
# the generator is switched off after that. Run under xvfb-run.
#   run_e2e_exit_scan.sh <nivra-ui> <work dir>
set -u
APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"
T=$NIVRA_SIM_TRACE
start_app
login_admin   # the tools open to an operator
sleep 2
focus "$WIN"
xdotool key alt+t sleep 0.5 key 3
R3D=$(timeout 10 xdotool search --sync --onlyvisible --name '^3D Rocking Curve$' | head -1)
[ -n "$R3D" ] || fail "Tools > Rocking Curve 3D showed no window"
focus "$R3D"
xdotool key Tab Tab Tab Tab Tab Tab space   # Go
for _ in $(seq 1 25); do [ "$(grep -c 0x40084228 "$T")" -gt 20 ] && break; sleep 0.2; done
[ "$(grep -c 0x40084228 "$T")" -gt 20 ] || fail "the 3-D scan did not start"

focus "$WIN"
xdotool key alt+f sleep 0.5
T_EXIT=$(date +%s.%N)
xdotool key e
for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
TOOK=$(awk -v a="$T_EXIT" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }')
kill -0 "$PID" 2>/dev/null && fail "program still running 5 s after File > Exit"
wait "$PID"
RC=$?
PID=
[ "$RC" -eq 0 ] || fail "exit code $RC"
awk -v t="$TOOK" 'BEGIN { exit !(t <= 1.5) }' || fail "File > Exit took $TOOK s during the scan"

WRITES=$(grep -c 0x40084228 "$T")
LAST_WRITE=$(grep -n 0x40084228 "$T" | tail -1 | cut -d: -f1)
MUX=$(grep -n '^setOutputMux(' "$T" | tail -1)
GEN_OFF=$(grep -n '^funcGenEnable(0)' "$T" | tail -1 | cut -d: -f1)
[ "$WRITES" -lt 4096 ] || fail "the scan ran to its end"
case "$MUX" in *:setOutputMux\(1\)*) ;; *) fail "outputs not handed back: $MUX" ;; esac
[ "${MUX%%:*}" -gt "$LAST_WRITE" ] && [ "${GEN_OFF:-0}" -gt "${MUX%%:*}" ] ||
    fail "hand-back and generator off not after the last point"
echo "ok: ended in $TOOK s with code 0 after $WRITES points, outputs handed back, generator off"
echo "PASS"
