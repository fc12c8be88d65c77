#!/bin/sh
# Runs a program of the 32-bit Windows build under Wine (the ctest emulator of mingw-i686).
# Starts the test prefix's server first when it is not running (scripts/wine-prefix.sh).
TBX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$TBX_ROOT/cmake/wine-env.sh"
if [ -z "${TBX_WINE:-}" ] && ! tbx_can_run_win32; then
    echo "wine-run: this machine cannot run 32-bit programs (or TBX_NO_WIN32=1 is set):" \
        "the 32-bit Windows build cannot be tested here" >&2
    exit 125
fi
tbx_wine_running || tbx_wine_start || echo "wine-run: could not start the Wine prefix $WINEPREFIX" >&2
exec "${TBX_WINE:-$TBX_WINE32}" "$@"
