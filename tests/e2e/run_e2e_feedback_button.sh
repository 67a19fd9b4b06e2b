#!/usr/bin/env bash
# End-to-end check of the feedback button after a procedure switched the feedback
# off: one press of "Enable Feedback" must switch it on again. Driven through the X
# server like run_e2e.sh; run it inside an X server of its own.
#
#   run_e2e_feedback_button.sh <nivra-ui> <work dir>
set -u

APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"

# The rocking curve reads its DAC and BPM1 electrode maps from the configuration
# file, which other runs share: set only those keys, and put the file back at the end.
CONFIG=/opt/Drubek/NIVRA/config.ini
MADE=$(mkdir -pv "$(dirname "$CONFIG")") || fail "cannot create $(dirname "$CONFIG")"
[ -e "$CONFIG" ] && cp -p "$CONFIG" "$WORK/config.ini.saved"
restore_config() {
    if [ -e "$WORK/config.ini.saved" ]; then cp -p "$WORK/config.ini.saved" "$CONFIG"; else rm -f "$CONFIG"; fi
    # Folders made here go again when empty: nothing else was to write there.
    [ -n "$MADE" ] && rmdir -p "$(dirname "$CONFIG")" 2>/dev/null
    return 0
}
trap restore_config EXIT
ini_set() { # group key value: replaces or adds key=value in [group]
    touch "$CONFIG"
    awk -v group="[$1]" -v key="$2" -v value="$3" '
        function put() { if (!done) { print key "=" value; done = 1 } }
        $0 == group { print; inside = 1; next }
        /^\[/ { if (inside) put(); inside = 0 }
        inside && index($0, key "=") == 1 { put(); next }
        { print }
        END { if (!done) { if (!inside) print group; put() } }' "$CONFIG" >"$CONFIG.$$" &&
        mv "$CONFIG.$$" "$CONFIG" || fail "cannot write $CONFIG"
}
ini_set Beamline DAC_posX 0; ini_set Beamline DAC_posY 1; ini_set Beamline DAC_I0 2
ini_set BPM1 Top 0; ini_set BPM1 Right 1; ini_set BPM1 Bottom 2; ini_set BPM1 Left 3

# Lines of the trace that set the feedback, from line $1 on.
feedback_calls() { tail -n +"$1" "$NIVRA_SIM_TRACE" | grep '^setFBenable(' | cut -d' ' -f1; }
# The number of the trace's next line.
trace_lines() { echo $(($(wc -l <"$NIVRA_SIM_TRACE") + 1)); }

start_app
eval "$(xdotool getdisplaygeometry --shell)"
xdotool windowmove "$WIN" 0 0 windowsize "$WIN" "$WIDTH" "$HEIGHT"
sleep 0.5

# The status panel and the tools open at level 1 and above.
login_admin
sleep 1.5   # one status poll enables the panel
grep -q '^getLock("admin", "admin") -> 2' "$NIVRA_SIM_TRACE" || fail "controller did not grant admin"

# The feedback button heads the "Control" dock in the window's top right corner.
press_feedback() {
    focus "$WIN"
    xdotool mousemove --window "$WIN" $((WIDTH - 170)) 159 click 1
    sleep 0.3
}

# --- One press switches the feedback on ---
FROM=$(trace_lines)
press_feedback
[ "$(feedback_calls "$FROM")" = "setFBenable(1)" ] ||
    fail "first press sent: $(feedback_calls "$FROM" | tr '\n' ' ')"
sleep 2.5   # the device link and the panel poll the new state
pass "\"Enable Feedback\" sends setFBenable(1)"

# --- A rocking curve of 20 points switches it off ---
FROM=$(trace_lines)
focus "$WIN"
xdotool key alt+t sleep 0.5 key Return   # the first item, "Rocking Curve"
RC=$(timeout 10 xdotool search --sync --onlyvisible --name '^Rocking Curve$' | head -1)
[ -n "$RC" ] || fail "Tools > Rocking Curve showed no window"
focus "$RC"
# Start, Stop, N points: 20; then T point, Sweep back, DAC, and Start pressed.
xdotool key Tab Tab ctrl+a
xdotool type 20
xdotool key Tab Tab Tab Tab space
for _ in $(seq 1 50); do
    tail -n +"$FROM" "$NIVRA_SIM_TRACE" | grep -q '^setOutputMux(1)' && break
    sleep 0.2
done
SCAN=$(tail -n +"$FROM" "$NIVRA_SIM_TRACE")
echo "$SCAN" | grep -q '^setOutputMux(1)' || fail "the rocking curve did not end"
[ "$(echo "$SCAN" | grep -m1 -E '^set(FBenable|OutputMux)\(' | cut -d' ' -f1)" = "setFBenable(0)" ] ||
    fail "the rocking curve did not switch the feedback off first"
POINTS=$(echo "$SCAN" | grep -c ', 0x40084228, DacOutputs{')
[ "$POINTS" -eq 20 ] || fail "the rocking curve wrote $POINTS DAC records, not 20"
focus "$RC"
xdotool key Escape
sleep 2.5   # the panel learns that the feedback is off
pass "a rocking curve of $POINTS points switched the feedback off"

# --- One press of "Enable Feedback" switches it on again ---
FROM=$(trace_lines)
press_feedback
[ "$(feedback_calls "$FROM")" = "setFBenable(1)" ] ||
    fail "after the rocking curve one press sent: $(feedback_calls "$FROM" | tr '\n' ' ')"
sleep 2.5
tail -n +"$FROM" "$NIVRA_SIM_TRACE" | grep -q '^getPIDstatus() -> 3' ||
    fail "the controller does not report the feedback on"
pass "after the rocking curve one press sends setFBenable(1)"

exit_by_menu
echo "PASS"
