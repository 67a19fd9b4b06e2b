#!/usr/bin/env bash
# Soak: runs the program on the controller simulator at a 5000 Hz display rate with
# 14336 records (set through Settings > Display Settings, as an operator would),
# samples its resident size and reports it, with the growth per hour after the
# warm-up. Fails when that growth reaches the limit. Too long for CI.
#
#   scripts/soak.sh [minutes (40)] [warm-up minutes (10)] [seconds between samples (15)]
#   SOAK_LIMIT_MB_PER_HOUR (1), SOAK_WORK (build/soak), NIVRA_BUILD_DIR (build),
#   SOAK_WRAP: a command to run the program under, e.g. "heaptrack -o /tmp/ht" (the
#   program is found by its window)
#
# Run as root it runs in a mount namespace of its own whose /opt holds the starter
# configuration: the machine's configuration file is neither read nor written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${NIVRA_BUILD_DIR:-$root/build}
minutes=${1:-40}
warmup=${2:-10}
every=${3:-15}
limit=${SOAK_LIMIT_MB_PER_HOUR:-1}
work=${SOAK_WORK:-$build/soak}

if [ "${SOAK_INSIDE:-}" != 1 ]; then
    rm -rf "$work"
    mkdir -p "$work"
    export SOAK_INSIDE=1 SOAK_WORK="$work" NIVRA_BUILD_DIR="$build" SOAK_LIMIT_MB_PER_HOUR="$limit"
    inner=(xvfb-run -a -s "-screen 0 1920x1080x24" "$0" "$minutes" "$warmup" "$every")
    if [ "$(id -u)" -eq 0 ] && unshare -m --propagation private true 2>/dev/null; then
        exec unshare -m --propagation private bash -c '
            mount -t tmpfs soak /opt &&
            install -D -m 666 "$1" /opt/Drubek/NIVRA/config.ini && shift && exec "$@"' \
            _ "$root/scripts/starter-config.ini" "${inner[@]}"
    fi
    echo "note: not root: the program uses the machine's configuration file as it is"
    exec "${inner[@]}"
fi

# Inside Xvfb from here on.
export XDG_RUNTIME_DIR="$work/runtime" XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_RUNTIME_DIR" "$XDG_CONFIG_HOME"
chmod 700 "$XDG_RUNTIME_DIR"
unset NIVRA_SIM_TRACE

${SOAK_WRAP:-} "$build/nivra-ui" >"$work/program-output.txt" 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
fail() { echo "FAIL: $*"; exit 1; }
win=$(timeout 60 xdotool search --sync --onlyvisible --name '^NIVRA-ENC Local User Interface' | head -1)
[ -n "$win" ] || fail "no main window"
# The program itself, also when a wrapper started it.
pid=$(xdotool getwindowpid "$win")
xdotool windowmove "$win" 0 0 windowsize "$win" 100% 100%
sleep 2

# Settings > Display Settings: rate 5000 Hz, the last (largest) buffer, OK.
xdotool windowfocus --sync "$win" 2>/dev/null || xdotool windowfocus "$win"
xdotool key alt+s
sleep 0.5
xdotool key d
dlg=$(timeout 10 xdotool search --sync --onlyvisible --name '^Display Settings$' | head -1)
[ -n "$dlg" ] || fail "no Display Settings window"
xdotool windowfocus --sync "$dlg" 2>/dev/null || xdotool windowfocus "$dlg"
sleep 0.3
xdotool key ctrl+a
xdotool type --delay 30 5000
xdotool key Tab End
sleep 0.3
import -window "$dlg" "$work/display-settings.png"
xdotool key Return
sleep 1
kill -0 $pid 2>/dev/null || fail "the program ended at start"

echo "seconds,rss_kb" >"$work/rss.csv"
t0=$(date +%s)
end=$((t0 + minutes * 60))
while :; do
    now=$(date +%s)
    kill -0 $pid 2>/dev/null || fail "the program ended after $((now - t0)) s"
    rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
    echo "$((now - t0)),$rss" >>"$work/rss.csv"
    echo "$((now - t0)) s: $((rss / 1024)) MB"
    [ "$now" -ge "$end" ] && break
    sleep "$every"
done
import -window root "$work/end.png"
kill $pid
wait 2>/dev/null || true

# Least-squares slope of the samples after the warm-up, in MB per hour.
awk -F, -v w=$((warmup * 60)) -v limit="$limit" '
    NR == 1 { next }
    NR == 2 { first = $2 }
    { last = $2 }
    $1 >= w { if (n == 0) atw = $2; n++; sx += $1; sy += $2; sxx += $1 * $1; sxy += $1 * $2 }
    END {
        printf "resident size: %.1f MB at start, %.1f MB after the warm-up, %.1f MB at the end\n",
               first / 1024, atw / 1024, last / 1024
        if (n < 3) { print "too few samples after the warm-up"; exit 2 }
        slope = (n * sxy - sx * sy) / (n * sxx - sx * sx)   # kB per second
        mbh = slope * 3600 / 1024
        printf "growth after the warm-up: %.2f MB per hour (limit %s)\n", mbh, limit
        exit (mbh < limit) ? 0 : 1
    }' "$work/rss.csv"
