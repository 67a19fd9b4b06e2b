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

start_app "$@"
sleep 2.5   # at least one acquisition cycle, which logs at Debug

# Help > Log; level filter down to Trace (the combo is fifth in the tab order), save.
save_log_window Tab Tab Tab Tab Home
grep -q 'Started logger' "$WORK/shown.log" || fail "no 'Started logger' line"
exit_by_menu

if grep -q 'updateGraphs read' "$WORK/shown.log"; then
    [ "$EXPECT" = shown ] || fail "Debug lines shown with arguments: $*"
else
    [ "$EXPECT" = hidden ] || fail "no Debug lines with arguments: $*"
fi
echo "PASS: Debug lines $EXPECT with arguments: $*"
