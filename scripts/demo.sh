#!/usr/bin/env bash
# The demo: builds the command-line host tbx and the simulated camera SDK as a user would (the
# optimised `release` preset, where a newer compiler's new warning cannot stop the build), then
# runs a short tethering session against the built-in simulated EOS camera. Everything the
# session makes lands in demo-out/.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT"
JOBS=${TBX_JOBS:-$(nproc 2>/dev/null || echo 2)}

cmake --preset release >/dev/null
cmake --build --preset release -j "$JOBS" --target tbx tbx_sim_edsdk tbx_sim_edsimage

TBX=build/release/tools/tbx/tbx
OUT=demo-out
unset TBX_SIM_SCENARIO # the built-in camera: a Canon EOS 90D with a card of pictures
rm -rf "$OUT"
mkdir -p "$OUT/liveview"

step() {
    echo
    echo "\$ tbx $*"
    "$TBX" "$@"
}

step list
step info
step params probe --cache "$OUT/cache"
step params set iso=400 av=5.6
step shoot --count 2 --dest "$OUT"
step liveview --seconds 3 --dest "$OUT/liveview"
step card list
step card get IMG_0001.JPG --dest "$OUT"

echo
echo "Done: pictures in $OUT/, live-view frames in $OUT/liveview/."
