#!/usr/bin/env bash
# Runs a command with a private copy of the program's configuration folder: a mount
# namespace of its own with a folder of the work area bound over /opt/Drubek/NIVRA,
# so that nothing a run writes reaches the machine's real config.ini, whatever ends
# the run. The copy starts as the real file, or as the starter file without one.
#
#   private_config.sh <private folder> <starter file> <command...>
set -u
DIR=/opt/Drubek/NIVRA
PRIVATE=$1
STARTER=$2
shift 2

if [ -z "${NIVRA_E2E_PRIVATE_CONFIG:-}" ]; then
    MADE=$(LC_ALL=C mkdir -pv "$DIR" 2>&1) || { echo "FAIL: cannot create $DIR: $MADE"; exit 1; }
    rm -rf "$PRIVATE"
    mkdir -p "$PRIVATE"
    if [ -e "$DIR/config.ini" ]; then cp "$DIR/config.ini" "$PRIVATE/"; else cp "$STARTER" "$PRIVATE/config.ini"; fi
    # Root may bind at once; anyone else through a user namespace of their own.
    [ "$(id -u)" -eq 0 ] && ns=(-m) || ns=(-r -m)
    NIVRA_E2E_PRIVATE_CONFIG=$PRIVATE unshare "${ns[@]}" --propagation private "$0" "$PRIVATE" "$STARTER" "$@"
    rc=$?
    # Folders made here go again when empty: nothing else was to be kept there.
    echo "$MADE" | sed -n "s/^mkdir: created directory '\(.*\)'\$/\1/p" | tac | xargs -r rmdir 2>/dev/null
    exit $rc
fi
mount --bind "$PRIVATE" "$DIR" || { echo "FAIL: cannot bind $PRIVATE over $DIR"; exit 1; }
exec "$@"
