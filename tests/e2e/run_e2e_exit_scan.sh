#!/usr/bin/env bash
# End-to-end check: File > Exit while a 3-D rocking scan runs. The program must end
# within about a second with code 0, the scan handing the DAC outputs back to the
# feedback (multiplexer 1) before the function generator is switched off. Run it
# inside an X server of its own (CTest starts it under xvfb-run).
#
#   run_e2e_exit_scan.sh <nivra-ui> <work dir>
set -u

APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"

start_app

# The tool actions open to a logged-in operator.
focus "$WIN"
xdotool key alt+s
sleep 0.5
xdotool key l
LOGIN=$(timeout 10 xdotool search --sync --onlyvisible --name '^Log in$' | head -1)
[ -n "$LOGIN" ] || fail "no login dialog"
focus "$LOGIN"
xdotool type --delay 30 admin
xdotool key Tab
xdotool type --delay 30 admin
xdotool key Return
for _ in $(seq 1 30); do
    xdotool search --onlyvisible --name '^Log in$' >/dev/null 2>&1 || break
    sleep 0.2
done
sleep 1.5   # one status poll

# --- Tools > Rocking Curve 3D, Go (the sixth stop of the tab chain) ---
focus "$WIN"
xdotool key alt+t
sleep 0.5
xdotool key 3
R3D=$(timeout 10 xdotool search --sync --onlyvisible --name '^3D Rocking Curve$' | head -1)
[ -n "$R3D" ] || fail "Tools > Rocking Curve 3D showed no window"
focus "$R3D"
xdotool key Tab Tab Tab Tab Tab Tab space
for _ in $(seq 1 25); do
    [ "$(grep -c '0x40084228' "$NIVRA_SIM_TRACE")" -gt 20 ] && break
    sleep 0.2
done
[ "$(grep -c '0x40084228' "$NIVRA_SIM_TRACE")" -gt 20 ] || fail "the 3-D scan did not start"
grep -q '^setOutputMux(0)' "$NIVRA_SIM_TRACE" || fail "the scan did not take the outputs"
pass "3-D scan running"

# --- File > Exit during the scan ---
focus "$WIN"
xdotool key alt+f
sleep 0.5
T_EXIT=$(date +%s.%N)
xdotool key e
for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.05; done
T_END=$(date +%s.%N)
kill -0 "$PID" 2>/dev/null && fail "program still running 5 s after File > Exit"
wait "$PID"
RC=$?
PID=
[ "$RC" -eq 0 ] || fail "exit code $RC"
TOOK=$(awk -v a="$T_EXIT" -v b="$T_END" 'BEGIN { printf "%.2f", b - a }')
awk -v t="$TOOK" 'BEGIN { exit !(t <= 1.5) }' || fail "File > Exit took $TOOK s during the scan"
pass "File > Exit ended the program in $TOOK s with code 0"

# The scan stopped early; the outputs went back to the feedback after its last
# point, and the generator was switched off after that.
WRITES=$(grep -c '0x40084228' "$NIVRA_SIM_TRACE")
[ "$WRITES" -lt 4096 ] || fail "the scan ran to its end ($WRITES points)"
LAST_WRITE=$(grep -n '0x40084228' "$NIVRA_SIM_TRACE" | tail -1 | cut -d: -f1)
MUX_BACK=$(grep -n '^setOutputMux(1)' "$NIVRA_SIM_TRACE" | tail -1 | cut -d: -f1)
GEN_OFF=$(grep -n '^funcGenEnable(0)' "$NIVRA_SIM_TRACE" | tail -1 | cut -d: -f1)
[ -n "$MUX_BACK" ] && [ "$MUX_BACK" -gt "$LAST_WRITE" ] || fail "outputs not handed back after the last point"
[ "$(grep '^setOutputMux(' "$NIVRA_SIM_TRACE" | tail -1 | cut -c1-15)" = "setOutputMux(1)" ] ||
    fail "the last multiplexer setting is not the feedback's"
[ -n "$GEN_OFF" ] && [ "$GEN_OFF" -gt "$MUX_BACK" ] || fail "generator not switched off after the hand-back"
pass "scan stopped after $WRITES points, outputs handed back, generator off"
echo "PASS"
