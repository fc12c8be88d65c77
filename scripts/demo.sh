#!/usr/bin/env bash
# The demo: builds the native preset and runs the command-line host `tbx` against the built-in
# simulated camera (the stand-in SDK libraries in build/native/redist).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=${TBX_JOBS:-$(nproc 2>/dev/null || echo 2)}

cmake --preset native >/dev/null
cmake --build --preset native -j "$JOBS"

TBX=build/native/tools/tbx/tbx
if [ ! -x "$TBX" ]; then
    echo
    echo "The demo arrives with the first camera driver: the command-line host tbx is not built yet."
    echo "What exists has been built; scripts/test.sh runs its tests."
    exit 0
fi
exec "$TBX" "$@"
