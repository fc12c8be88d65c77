#!/usr/bin/env bash
# Runs the engine, driver and control suites of the native build under valgrind's memcheck: it
# finds reads of uninitialised memory, which the address sanitizer does not look for. It is slow
# (several minutes per suite on two cores), so the test command leaves it out; run it after
# changes to code that reads SDK replies, records or files.
#
#   scripts/valgrind.sh                 all three suites
#   scripts/valgrind.sh driver_tests    only the named suites (engine_tests, driver_tests, control_tests)
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
command -v valgrind >/dev/null || { echo "valgrind.sh: valgrind is not installed (apt-get install valgrind)" >&2; exit 2; }

suites=("$@")
[ ${#suites[@]} -eq 0 ] && suites=(engine_tests driver_tests control_tests)
declare -A folder=([engine_tests]=engine [driver_tests]=drivers [control_tests]=control)
for s in "${suites[@]}"; do
    [ -n "${folder[$s]:-}" ] || { echo "valgrind.sh: unknown suite '$s' (known: ${!folder[*]})" >&2; exit 2; }
done

cmake --preset native >/dev/null && cmake --build --preset native -j "$(nproc)" --target "${suites[@]}" || exit 1

status=0
for s in "${suites[@]}"; do
    log="$ROOT/build/native/valgrind-$s.log"
    printf '%-14s ' "$s"
    # The suites find the stand-ins by the paths compiled into them, so the folder they run in
    # does not matter; their own files go to the system's temporary folder.
    if (cd "$ROOT/build/native/tests/${folder[$s]}" &&
        valgrind --error-exitcode=99 --track-origins=yes --num-callers=30 "./$s" >"$log" 2>&1); then
        echo "passed"
    else
        echo "FAILED (see $log)"
        status=1
    fi
done
exit $status
