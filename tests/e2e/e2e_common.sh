# Shared steps of the end-to-end scripts: a fresh work directory with the simulator's
# trace, starting the program, the log window saved through its save dialog, and
# leaving through File > Exit. Sourced; expects APP and WORK to be set. Every wait is
# for a condition, bounded; a fixed pause only paces input.

TITLE='NIVRA-ENC Local User Interface v2.0.0'
# The program's configuration folder, private to this run (tests/e2e/private_config.sh).
CONFIG=/opt/Drubek/NIVRA/config.ini
if [ -z "${NIVRA_E2E_PRIVATE_CONFIG:-}" ]; then
    echo "FAIL: run through private_config.sh, which keeps the real $CONFIG out of reach"
    exit 1
fi

rm -rf "$WORK"
mkdir -p "$WORK"
export NIVRA_SIM_TRACE="$WORK/sim-trace.txt"
export XDG_RUNTIME_DIR="$WORK/runtime"
mkdir -p "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Qt keeps the file dialogs' last folder in the user's configuration: a folder left
# there by anything else (one that cannot be listed, say) must not reach the program.
export XDG_CONFIG_HOME="$WORK/config"
mkdir -p "$XDG_CONFIG_HOME"

PID=
fail() {
    echo "FAIL: $*"
    [ -n "$PID" ] && kill "$PID" 2>/dev/null
    exit 1
}
pass() { echo "ok: $*"; }
# Runs the command every tenth of a second until it succeeds; false after $1 seconds.
wait_for() { # seconds command...
    local tries=$(($1 * 10))
    shift
    until "$@"; do
        tries=$((tries - 1))
        [ "$tries" -gt 0 ] || return 1
        sleep 0.1
    done
}
# Seconds since the time $1 (date +%s.%N).
elapsed() { awk -v a="$1" -v b="$(date +%s.%N)" 'BEGIN { printf "%.2f", b - a }'; }
not() { ! "$@"; }
# True while a window titled $1 shows.
shown() { xdotool search --onlyvisible --name "^$1\$" >/dev/null 2>&1; }
running() { kill -0 "$PID" 2>/dev/null; }
# Waits up to $1 seconds until no window titled $2 shows.
wait_gone() { wait_for "$1" not shown "$2" || fail "'$2' still shown"; }
# Echoes the id of the window titled $2 once it shows, waiting up to $1 seconds. A
# search fails at once when a window goes while it looks (during an exit): it is tried
# again, where xdotool's own --sync would give up.
window_id() { FOUND=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -1); [ -n "$FOUND" ]; }
find_window() { wait_for "$1" window_id "$2" && echo "$FOUND"; }
# The number of the trace's next line.
trace_lines() { echo $(($(wc -l <"$NIVRA_SIM_TRACE") + 1)); }
# True when at least $3 (default 1) lines of the trace from line $1 on match regex $2.
trace_has() { [ "$(tail -n +"$1" "$NIVRA_SIM_TRACE" | grep -c -E "$2")" -ge "${3:-1}" ]; }
# The program's visible windows, menus included.
visible_windows() { xdotool search --onlyvisible --pid "$PID" 2>/dev/null | wc -l; }
# Opens the main window's menu alt+$1 and waits until it shows.
open_menu() {
    focus "$WIN"
    local before
    before=$(visible_windows)
    xdotool key "alt+$1"
    wait_for 5 eval '[ "$(visible_windows)" -gt "$before" ]' || fail "menu alt+$1 did not open"
}
# Makes the main window fill the screen, as a window manager would; sets WIDTH, HEIGHT.
# Not before the event loop runs (the acquisition timer's first display fetch): the
# style sheet applied after the window shows may resize it to its own size, undoing
# a resize that came first.
fill_screen() {
    wait_for 15 trace_has 1 '^getBuffer\(' || fail "no display fetch: the event loop did not start"
    eval "$(xdotool getdisplaygeometry --shell)"
    xdotool windowmove "$WIN" 0 0 windowsize "$WIN" "$WIDTH" "$HEIGHT"
    wait_for 5 eval 'xdotool getwindowgeometry "$WIN" | grep -q "Geometry: ${WIDTH}x${HEIGHT}\$"' ||
        fail "main window not resized to ${WIDTH}x${HEIGHT}"
}
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }

# Starts the program with the given arguments; sets PID, T0 (the start time) and WIN.
start_app() {
    T0=$(date +%s.%N)
    "$APP" "$@" >"$WORK/program-output.txt" 2>"$WORK/program-errors.txt" &
    PID=$!
    WIN=$(find_window 30 "$TITLE")
    [ -n "$WIN" ] || fail "no window titled '$TITLE' appeared"
}

# Opens a window from the main window's menu (alt+<menu key>, then <item key>) and
# focuses it; sets OPENED to its id.
open_from_menu() { # menu-key item-key title
    open_menu "$1"
    xdotool key "$2"
    OPENED=$(find_window 10 "$3")
    [ -n "$OPENED" ] || fail "no window '$3'"
    focus "$OPENED"
}

# Status > Log in as "admin": the tools and the status panel open at this level. Waits
# until the controller granted it and the status panel has polled the level.
login_admin() {
    local from
    from=$(trace_lines)
    open_from_menu s l 'Log in'
    xdotool type --delay 30 admin
    xdotool key Tab
    xdotool type --delay 30 admin
    xdotool key Return
    wait_for 10 trace_has "$from" '^getLock\("admin", "admin"\) -> 2' ||
        fail "controller did not grant admin"
    # Before the grant the level polled is lower: a 2 from here on follows the grant.
    wait_for 10 trace_has "$from" '^getLockStatus\(\) -> 2' || fail "status panel did not see admin"
}

# Help > Log, then the given keys in the log window, then its save dialog: the lines
# it shows end up in $WORK/shown.log. Sets LOGWIN.
save_log_window() {
    open_from_menu h l 'Log window'
    LOGWIN=$OPENED
    if [ $# -gt 0 ]; then
        xdotool key "$@"
        sleep 0.3
    fi
    xdotool key alt+s
    SAVE=$(find_window 10 'Save log')
    [ -n "$SAVE" ] || fail "no save dialog"
    focus "$SAVE"
    xdotool type --delay 20 "$WORK/shown"
    xdotool key Return
    wait_for 5 test -s "$WORK/shown.log" || fail "log not saved"
}

# The feedback button heads the "Control" dock in the window's top right corner.
click_feedback() {
    focus "$WIN"
    xdotool mousemove --window "$WIN" $((WIDTH - 170)) 159 click 1
}

# Waits up to $1 s for the program to end after $2; sets RC, and TOOK (seconds since $3).
wait_end() { # seconds what start-time
    wait_for "$1" not running || fail "program still running $1 s after $2"
    TOOK=$(elapsed "$3")
    wait "$PID"
    RC=$?
    PID=
}

# File > Exit; the program must end within ten seconds with code 0. Sets TOOK.
exit_by_menu() {
    open_menu f
    local t
    t=$(date +%s.%N)
    xdotool key e
    wait_end 10 "File > Exit" "$t"
    [ "$RC" -eq 0 ] || fail "exit code $RC after File > Exit"
}

DAC_WRITE=0x40084228
# Starts the program, logs in and starts a 3-D scan; returns once it has written 20 points.
start_scan() {
    start_app
    fill_screen
    login_admin   # the tools open to an operator
    open_from_menu t 3 '3D Rocking Curve'
    xdotool key Tab Tab Tab Tab Tab Tab space   # Go
    wait_for 5 trace_has 1 $DAC_WRITE 21 || fail "the 3-D scan did not start"
}

# Waits for the box titled $1, checks that the program waits for it, and answers it.
answer_box() {
    local box
    box=$(find_window 10 "$1")
    [ -n "$box" ] || fail "no box '$1'"
    sleep 0.5
    running || fail "the program ended before '$1' was answered"
    focus "$box"
    xdotool key Return
}

# File > Exit with something left on the controller: the final box is answered. Sets RC.
exit_through_box() {
    open_menu f
    xdotool key e
    answer_box 'Left on the controller'
    wait_end 5 "answering the box" "$(date +%s.%N)"
}

# What the program tells on stderr at its end, as regular expressions: the outputs
# procedure $1 could not hand back, and the generator perhaps left on.
hand_back() { echo "$1: setOutputMux\\(1\\) failed\\. .* stay on the host at CH1 -?[0-9.]+ V, CH2 "; }
GENERATOR_ON='funcGenEnable\(0\) failed: the function generator may still drive a DAC output\.$'
# The lines the program told on stderr.
told_lines() { grep '^nivra-ui: ' "$WORK/program-errors.txt"; }
# $1 ended the program with code $2 and told one line on stderr for each regex after.
told() { # what code regex...
    local what=$1 code=$2
    shift 2
    [ "$RC" -eq "$code" ] || fail "$what: exit code $RC, not $code"
    [ "$(told_lines | wc -l)" -eq $# ] || fail "$what: stderr says $(told_lines)"
    for line in "$@"; do
        told_lines | grep -q -E "^nivra-ui: $line" || fail "$what: no '$line' on stderr: $(told_lines)"
    done
    pass "$what: code $code, $# line(s) told on stderr"
}
