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
# file (this run's private copy): set only those keys.
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
# The status panel has read the controller's feedback state $2 (a getPIDstatus result)
# polled after line $1: two of its polls came after the device link's read.
panel_sees() { # from-line status
    local read
    read=$(tail -n +"$1" "$NIVRA_SIM_TRACE" | grep -n -m1 "^getPIDstatus() -> $2" | cut -d: -f1)
    [ -n "$read" ] && trace_has $(($1 + read)) '^getLockStatus\(' 2
}

start_app
fill_screen
login_admin   # the status panel opens at level 1 and above

# One press of "Enable Feedback" sends setFBenable(1), once, and the panel learns that
# the feedback is on; $1 says when.
press_switches_on() {
    FROM=$(trace_lines)
    click_feedback
    wait_for 5 trace_has "$FROM" '^setFBenable\(' || fail "$1: the press sent nothing"
    [ "$(feedback_calls "$FROM")" = "setFBenable(1)" ] ||
        fail "$1: one press sent: $(feedback_calls "$FROM" | tr '\n' ' ')"
    wait_for 10 panel_sees "$FROM" 3 || fail "$1: the panel did not learn that the feedback is on"
    pass "$1 one press of \"Enable Feedback\" sends setFBenable(1)"
}

press_switches_on "at first"

# --- A rocking curve of 20 points switches it off ---
FROM=$(trace_lines)
open_from_menu t Return 'Rocking Curve'   # the first item
# Start, Stop, N points: 20; then T point, Sweep back, DAC, and Start pressed.
xdotool key Tab Tab ctrl+a
xdotool type 20
xdotool key Tab Tab Tab Tab space
wait_for 15 trace_has "$FROM" '^setOutputMux\(1\)' || fail "the rocking curve did not end"
SCAN=$(tail -n +"$FROM" "$NIVRA_SIM_TRACE")
[ "$(echo "$SCAN" | grep -m1 -E '^set(FBenable|OutputMux)\(' | cut -d' ' -f1)" = "setFBenable(0)" ] ||
    fail "the rocking curve did not switch the feedback off first"
POINTS=$(echo "$SCAN" | grep -c ', 0x40084228, DacOutputs{')
[ "$POINTS" -eq 20 ] || fail "the rocking curve wrote $POINTS DAC records, not 20"
focus "$OPENED"
xdotool key Escape
wait_for 10 panel_sees "$FROM" 0 || fail "the panel did not learn that the feedback is off"
pass "a rocking curve of $POINTS points switched the feedback off"

press_switches_on "after the rocking curve"

exit_by_menu
echo "PASS"
