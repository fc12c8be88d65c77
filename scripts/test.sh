#!/usr/bin/env bash
# Configures, builds and tests Tetherbox in every preset (or in the presets named):
#
#   scripts/test.sh                      native, native-asan, native-tsan, mingw-i686, mingw-x86_64
#   scripts/test.sh native mingw-i686    only these, in the order given
#
# The mingw presets run their tests under Wine (32- and 64-bit) in the private prefix
# build/wineprefix, which this script starts before and stops after the Wine runs.
#
# Environment: TBX_JOBS (parallel jobs, default: number of cores), TBX_TEST_TIMEOUT (seconds per
# test, default 60), TBX_SUITE_TIMEOUT (seconds per ctest run, default 900).
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
cd "$ROOT" || exit 1
ALL_PRESETS=(native native-asan native-tsan mingw-i686 mingw-x86_64)
JOBS=${TBX_JOBS:-$(nproc 2>/dev/null || echo 2)}
TEST_TIMEOUT=${TBX_TEST_TIMEOUT:-60}
SUITE_TIMEOUT=${TBX_SUITE_TIMEOUT:-900}

presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=("${ALL_PRESETS[@]}")
for p in "${presets[@]}"; do
    if [[ " ${ALL_PRESETS[*]} " != *" $p "* ]]; then
        echo "test.sh: unknown preset '$p' (known: ${ALL_PRESETS[*]})" >&2
        exit 2
    fi
done

wine_started=0
stop_wine() {
    if [ $wine_started = 1 ]; then
        "$ROOT/scripts/wine-prefix.sh" stop
        wine_started=0
    fi
}
trap stop_wine EXIT
trap 'exit 130' INT TERM

# Sanitizer runtimes of this compiler generation abort on kernels with more address-space
# randomisation than they expect ("FATAL: ThreadSanitizer: unexpected memory mapping"). Running
# the sanitizer suites with randomisation off avoids it, when the system lets us turn it off.
no_aslr=()
if setarch "$(uname -m)" -R true 2>/dev/null; then
    no_aslr=(setarch "$(uname -m)" -R)
fi

declare -a summary
failed=0
banner() { printf '\n==== %s ====\n' "$*"; }

run_preset() {
    local p=$1 t0=$SECONDS prefix=()
    banner "$p: configure"
    cmake --preset "$p" || return 1
    banner "$p: build"
    cmake --build --preset "$p" -j "$JOBS" || return 2
    case "$p" in
    native-asan|native-tsan)
        prefix=("${no_aslr[@]}")
        [ ${#prefix[@]} -eq 0 ] && echo "test.sh: cannot disable address-space randomisation here"
        ;;
    mingw-*)
        # A prefix that already ran (another run in this tree) is left running afterwards.
        if [ $wine_started = 0 ] && ! "$ROOT/scripts/wine-prefix.sh" status >/dev/null; then
            "$ROOT/scripts/wine-prefix.sh" start || return 3
            wine_started=1
        fi
        ;;
    esac
    banner "$p: test"
    (timeout --kill-after=30 "$SUITE_TIMEOUT" "${prefix[@]}" \
        ctest --preset "$p" --timeout "$TEST_TIMEOUT" -j "$JOBS" --output-on-failure) || return 3
    echo "$p took $((SECONDS - t0)) s"
}

for p in "${presets[@]}"; do
    t0=$SECONDS
    run_preset "$p"
    case $? in
    0) result=passed ;;
    1) result="FAILED (configure)" ;;
    2) result="FAILED (build)" ;;
    *) result="FAILED (tests)" ;;
    esac
    [ "$result" = passed ] || failed=1
    summary+=("$(printf '%-14s %-20s %5d s' "$p" "$result" $((SECONDS - t0)))")
done
stop_wine

banner "summary"
printf '%s\n' "${summary[@]}"
if [ $failed = 0 ]; then
    echo "all presets passed"
else
    echo "some presets FAILED"
fi
exit $failed
