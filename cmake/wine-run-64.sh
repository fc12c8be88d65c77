#!/bin/sh
# Runs a program of the 64-bit Windows build under Wine (the ctest emulator of mingw-x86_64).
TBX_WINE=/usr/lib/wine/wine64 exec "$(dirname "$0")/wine-run-32.sh" "$@"
