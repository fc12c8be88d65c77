#!/bin/sh
# Starts or stops the Wine prefix that the Windows test runs use.
#
#   scripts/wine-prefix.sh start    create the prefix if needed, start its persistent server
#   scripts/wine-prefix.sh stop     end every Wine process of the prefix
#   scripts/wine-prefix.sh status   say whether it runs
#   scripts/wine-prefix.sh path     print the prefix folder
#
# TBX_WINEPREFIX chooses another prefix (default: build/wineprefix). Both commands are idempotent.
set -eu
TBX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$TBX_ROOT/cmake/wine-env.sh"

case "${1:-}" in
start)
    if tbx_wine_running; then
        echo "wine-prefix: $WINEPREFIX already running"
    elif tbx_wine_start; then
        echo "wine-prefix: $WINEPREFIX started"
    else
        echo "wine-prefix: could not start $WINEPREFIX" >&2
        exit 1
    fi
    ;;
stop)
    tbx_wine_stop
    echo "wine-prefix: $WINEPREFIX stopped"
    ;;
status)
    if tbx_wine_running; then echo "running"; else echo "stopped"; exit 1; fi
    ;;
path)
    echo "$WINEPREFIX"
    ;;
*)
    echo "usage: $0 start|stop|status|path" >&2
    exit 2
    ;;
esac
