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
source "$(dirname "$0")/e2e_common.sh"

# A configuration file saved as UTF-16 gives the program nothing: it says so at start,
# before the log window is connected, and the log window must still show that line.
iconv -f UTF-8 -t UTF-16 "$CONFIG" >"$WORK/config-utf16.ini" && cp "$WORK/config-utf16.ini" "$CONFIG" ||
    fail "cannot write the private $CONFIG"

start_app "$@"
# At least one acquisition cycle, which logs at Debug.
wait_for 15 trace_has 1 '^getBuffer\(' || fail "no display fetch"

# Help > Log; level filter down to Trace (the combo is fifth in the tab order), save.
save_log_window Tab Tab Tab Tab Home
grep -q 'Started logger' "$WORK/shown.log" || fail "no 'Started logger' line"
grep -q "Configuration file $CONFIG holds no settings" "$WORK/shown.log" ||
    fail "the start-up warning about the configuration file is not in the log window"
exit_by_menu

if grep -q 'updateGraphs read' "$WORK/shown.log"; then
    [ "$EXPECT" = shown ] || fail "Debug lines shown with arguments: $*"
else
    [ "$EXPECT" = hidden ] || fail "no Debug lines with arguments: $*"
fi
echo "PASS: Debug lines $EXPECT with arguments: $*"
