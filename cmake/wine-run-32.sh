#!/bin/sh
# Runs a program of the 32-bit Windows build under Wine (the ctest emulator of mingw-i686).
# Starts the test prefix's server first when it is not running (scripts/wine-prefix.sh).
TBX_ROOT=$(cd "$(dirname "$0")/.." && pwd)
. "$TBX_ROOT/cmake/wine-env.sh"
tbx_wine_running || tbx_wine_start || echo "wine-run: could not start the Wine prefix $WINEPREFIX" >&2
exec "${TBX_WINE:-$TBX_WINE32}" "$@"
