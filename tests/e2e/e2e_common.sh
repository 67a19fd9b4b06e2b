# Shared steps of the end-to-end scripts: a fresh work directory with the simulator's
# trace, starting the program, the log window saved through its save dialog, and
# leaving through File > Exit. Sourced; expects APP and WORK to be set.

TITLE='NIVRA-ENC Local User Interface v2.0.0'

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
focus() { xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"; sleep 0.3; }

# Starts the program with the given arguments; sets PID, T0 (the start time) and WIN.
start_app() {
    T0=$(date +%s.%N)
    "$APP" "$@" >"$WORK/program-output.txt" 2>&1 &
    PID=$!
    WIN=$(timeout 30 xdotool search --sync --onlyvisible --name "^${TITLE}\$" | head -1)
    [ -n "$WIN" ] || fail "no window titled '$TITLE' appeared"
}

# Opens a window from the main window's menu (alt+<menu key>, then <item key>) and
# focuses it; sets OPENED to its id.
open_from_menu() { # menu-key item-key title
    focus "$WIN"
    xdotool key "alt+$1"
    sleep 0.5
    xdotool key "$2"
    OPENED=$(timeout 10 xdotool search --sync --onlyvisible --name "^$3\$" | head -1)
    [ -n "$OPENED" ] || fail "no window '$3'"
    focus "$OPENED"
}

# Status > Log in as "admin": the tools and the status panel open at this level.
login_admin() {
    open_from_menu s l 'Log in'
    xdotool type --delay 30 admin
    xdotool key Tab
    xdotool type --delay 30 admin
    xdotool key Return
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
    SAVE=$(timeout 10 xdotool search --sync --onlyvisible --name '^Save log$' | head -1)
    [ -n "$SAVE" ] || fail "no save dialog"
    focus "$SAVE"
    xdotool type --delay 20 "$WORK/shown"
    xdotool key Return
    for _ in $(seq 1 25); do [ -s "$WORK/shown.log" ] && break; sleep 0.2; done
    [ -s "$WORK/shown.log" ] || fail "log not saved"
}

# File > Exit; the program must end within ten seconds with code 0.
exit_by_menu() {
    focus "$WIN"
    xdotool key alt+f
    sleep 0.5
    xdotool key e
    for _ in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
    kill -0 "$PID" 2>/dev/null && fail "program still running after File > Exit"
    wait "$PID"
    local rc=$?
    PID=
    [ "$rc" -eq 0 ] || fail "exit code $rc"
}
