#!/usr/bin/env bash
# End-to-end check of nivra-ui on the controller simulator, driven through the X
# server the way an operator would use it: keyboard and mouse only. Run it inside an
# X server of its own (CTest starts it under xvfb-run).
#
#   run_e2e.sh <nivra-ui> <work dir>
#
# NIVRA_E2E_SCREENSHOT, when set, names a file that receives a copy of the
# screenshot taken after the login.
set -u

APP=$1
WORK=$2
source "$(dirname "$0")/e2e_common.sh"

# Pixels of `colour` (ImageMagick colour, matched within `fuzz`) in a region WxH+X+Y.
count_colour() { # image region colour fuzz
    convert "$1" -crop "$2" +repage -fuzz "$4" -fill white -opaque "$3" \
        -fill black +opaque white -format '%[fx:round(mean*w*h)]' info:
}
# Pixels darker than grey 80 (text drawn enabled) in a region.
count_dark() { # image region
    convert "$1" -crop "$2" +repage -colorspace Gray -threshold 31% -negate \
        -format '%[fx:round(mean*w*h)]' info:
}
shoot() { import -window root "$1"; }

# --- Start: maximised, with its title ---
start_app
[ "$(xdotool getwindowname "$WIN")" = "$TITLE" ] || fail "window title"
pass "window titled '$TITLE'"

# --- Start-up sends the device defaults before the main window's first call ---
# Lines of the device link's polling thread run alongside and are left out; the
# first other call that is not a default is the main window's.
STARTUP=$(awk '/^(getSFPinfo|getBPMStats|getPIDstatus)\(/ { next }
    /^(getSystemVersion|setDisplayFreq|getROCenable|setROCenable|getBPMselector)\(/ {
        split($0, n, "("); s = s " " n[1]; next }
    { print s; exit }' "$NIVRA_SIM_TRACE")
# The polling thread reads the loop sources too; the start-up's own read follows setROCenable.
DEFAULTS=$(echo $STARTUP | tr ' ' '\n' | grep -v '^getBPMselector$' | xargs)
[ "$DEFAULTS" = "getSystemVersion setDisplayFreq getROCenable setROCenable" ] ||
    fail "device defaults not all sent before the main window: '$STARTUP'"
case "$STARTUP" in
*" setROCenable"*" getBPMselector"*) ;;
*) fail "loop sources not read before the main window: '$STARTUP'" ;;
esac
pass "device defaults sent before the main window's first call"
if command -v xprop >/dev/null; then
    STATE=$(xprop -id "$WIN" _NET_WM_STATE)
    for AXIS in HORZ VERT; do
        case "$STATE" in *_NET_WM_STATE_MAXIMIZED_$AXIS*) ;; *) fail "window not maximised: $STATE" ;; esac
    done
    pass "window asks to be maximised"
else
    echo "note: xprop (x11-utils) not installed: the maximised state is not checked"
fi

# Without a window manager nobody maximises the window: do it as one would.
fill_screen

# --- Graphs show data once the first cycles have run ---
# Bring "Graph Encoder Counts BPM1" to the front of the bottom dock tabs with the
# mouse wheel over the tab bar: to the first tab ("Graph FFT"), then one further.
# Up from the window's bottom edge, the first row whose colour differs from the
# status bar's is the lower edge of the tab bar (once the docks are laid out).
find_tab_bar() {
    shoot "$WORK/start.png"
    TABY=$(convert "$WORK/start.png" -crop "1x120+40+$((HEIGHT - 120))" +repage txt:- |
        awk -v top=$((HEIGHT - 120)) 'NR > 1 { split($1, p, /[,:]/); c[p[2]] = $3; n = p[2] }
            END { for (y = n; y >= 0; y--) if (c[y] != c[n]) { print top + y; exit } }')
    [ -n "$TABY" ]
}
wait_for 15 find_tab_bar || fail "no dock tab bar found"
xdotool mousemove --window "$WIN" 40 $((TABY - 10))
for _ in 1 2 3 4 5 6 7 8 9 10; do xdotool click 4; sleep 0.05; done
xdotool click 5
xdotool mousemove --window "$WIN" $((WIDTH / 2)) 40
# The encoder graph fills the lower left; channel 1 is drawn in rgb(255,255,135).
LOWER="$((WIDTH - 360))x$((HEIGHT / 2 - 60))+0+$((HEIGHT / 2))"
encoder_drawn() {
    shoot "$WORK/data.png"
    YELLOW=$(count_colour "$WORK/data.png" "$LOWER" 'rgb(255,255,135)' 6%)
    [ "$YELLOW" -gt 1500 ]
}
wait_for 20 encoder_drawn || fail "no encoder data drawn ($YELLOW channel-1 pixels)"
TOOK=$(elapsed "$T0")
grep -q 'getBuffer(buffer, 14336) -> 14336' "$NIVRA_SIM_TRACE" || fail "no full display fetch"
pass "graphs show data $TOOK s after the start ($YELLOW channel-1 pixels)"

# --- Login as admin raises the level the panels see ---
CONTROL="340x400+$((WIDTH - 345))+70"
BEFORE=$(count_dark "$WORK/data.png" "$CONTROL")
login_admin   # waits for the controller's grant and the panel's poll
wait_gone 6 'Log in'
panels_enabled() {
    shoot "$WORK/admin.png"
    AFTER=$(count_dark "$WORK/admin.png" "$CONTROL")
    [ "$AFTER" -gt $((BEFORE * 2 + 300)) ]
}
wait_for 10 panels_enabled || fail "control panels still disabled ($BEFORE -> $AFTER dark pixels)"
pass "admin login enables the control panels ($BEFORE -> $AFTER dark pixels)"
[ -n "${NIVRA_E2E_SCREENSHOT:-}" ] && cp "$WORK/admin.png" "$NIVRA_E2E_SCREENSHOT"

# --- Tools > Rocking Curve 3D, open to admin, shows its window; Escape hides it ---
open_from_menu t 3 '3D Rocking Curve'
xdotool key Escape
wait_gone 5 '3D Rocking Curve'
pass "Tools > Rocking Curve 3D shows its window"

# --- Help > Log shows "Started logger" (saved from the window to a file) ---
save_log_window
grep -q 'Started logger' "$WORK/shown.log" || fail "no 'Started logger' line in the log window"
pass "log window shows: $(grep -m1 'Started logger' "$WORK/shown.log")"
xdotool key --window "$LOGWIN" Escape

# --- File > Exit: code 0, function generator off, then the device link stopped ---
# After the event loop main switches the generator off and stops the device link,
# whose last poll may still come; then the windows go, and the frequency window
# switches the generator off once more as it is destroyed.
MARK=$(wc -l <"$NIVRA_SIM_TRACE")
exit_by_menu
SHUTDOWN=$(tail -n +$((MARK + 1)) "$NIVRA_SIM_TRACE" | sed -n '/^funcGenEnable(0)/,$p' | cut -d'(' -f1 | xargs)
[ "$(echo $SHUTDOWN | tr ' ' '\n' | grep -c '^funcGenEnable$')" -ge 2 ] ||
    fail "generator not switched off by main and by the frequency window: '$SHUTDOWN'"
POLLS=$(echo $SHUTDOWN | tr ' ' '\n' | grep -E '^(getSFPinfo|getBPMStats|getPIDstatus|getBPMselector)$' |
    sort | uniq -c | xargs)
echo "$POLLS" | grep -q -v -E '^(([1-4]) getSFPinfo ?|1 getBPMStats ?|1 getPIDstatus ?|1 getBPMselector ?)*$' &&
    fail "more than the device link's last poll after the generator was switched off: '$SHUTDOWN'"
pass "File > Exit: code 0, generator off, then at most the last poll: '$SHUTDOWN'"
echo "PASS"
