# Wine environment shared by the emulator wrappers (cmake/wine-run-*.sh) and scripts/wine-prefix.sh.
# Source it after setting TBX_ROOT to the source tree.
#
# TBX_WINEPREFIX  the Wine prefix of the test runs (default: build/wineprefix in the source tree,
#                 shared by the 32- and 64-bit builds, or build/wineprefix-win64 on a machine that
#                 cannot run 32-bit programs); a private prefix, never the user's ~/.wine
# TBX_WINEDEBUG   Wine's debug channels for a run (default: -all)
# TBX_NO_WIN32    1: act as on a machine that cannot run 32-bit programs (see tbx_can_run_win32)
# TBX_HAVE_WIN32  the answer of tbx_can_run_win32 once decided (yes or no); scripts/test.sh decides
#                 it once per run and exports it, so the wrappers of every test reuse it

WINEDEBUG=${TBX_WINEDEBUG:--all}
# No .NET or Gecko installers, and no debugger waiting for a keypress when a test crashes.
WINEDLLOVERRIDES="mscoree,mshtml=;winedbg.exe=d"
export WINEDEBUG WINEDLLOVERRIDES

TBX_WINE32=/usr/lib/wine/wine
TBX_WINE64=/usr/lib/wine/wine64
TBX_WINESERVER=/usr/lib/wine/wineserver

# Can this machine run 32-bit programs? Some kernels refuse them outright ("Exec format error"
# for the 32-bit wine loader) while wine64 works. Decided by running the 32-bit wine once, never
# by the machine's name; the answer is kept in TBX_HAVE_WIN32 for the rest of the run.
tbx_can_run_win32() {
    if [ -z "${TBX_HAVE_WIN32:-}" ]; then
        if [ "${TBX_NO_WIN32:-0}" = 1 ]; then
            TBX_HAVE_WIN32=no
        elif "$TBX_WINE32" --version </dev/null >/dev/null 2>&1; then
            TBX_HAVE_WIN32=yes
        else
            TBX_HAVE_WIN32=no
        fi
        export TBX_HAVE_WIN32
    fi
    [ "$TBX_HAVE_WIN32" = yes ]
}

# The prefix: one for both builds where 32-bit programs run; a 64-bit-only prefix (made by
# wine64, which the 32-bit wine cannot use) lives in a folder of its own, so that a machine or a
# run that changes its answer never meets a prefix of the other kind.
if [ -z "${TBX_WINEPREFIX:-}" ]; then
    if tbx_can_run_win32; then
        TBX_WINEPREFIX=$TBX_ROOT/build/wineprefix
    else
        TBX_WINEPREFIX=$TBX_ROOT/build/wineprefix-win64
    fi
fi
WINEPREFIX=$TBX_WINEPREFIX
export WINEPREFIX
TBX_WINE_KEEPER_PID=$WINEPREFIX/tbx-keeper.pid

# The Wine that creates and serves the prefix: the 32-bit one where it runs (a prefix for both
# builds), wine64 elsewhere (a 64-bit-only prefix; the 32-bit build cannot run there anyway).
tbx_wine_boot() {
    if tbx_can_run_win32; then echo "$TBX_WINE32"; else echo "$TBX_WINE64"; fi
}

# True when the persistent server of this prefix and its keeper run.
tbx_wine_running() {
    [ -f "$TBX_WINE_KEEPER_PID" ] || return 1
    pid=$(cat "$TBX_WINE_KEEPER_PID" 2>/dev/null) || return 1
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || return 1
    # A recycled pid belongs to some other program. (Wine runs the keeper through start.exe.)
    tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qiE 'notepad\.exe|start\.exe'
}

# Creates the prefix if needed and starts a persistent wineserver with every system process
# already up, all with their standard streams detached: a Wine process that inherits the pipes
# of ctest (or of $(...)) keeps them open long after the test ended, and ctest then waits for it.
# The keeper keeps the desktop process alive between tests, which would otherwise be restarted
# (about a second) by every test. Safe to call concurrently and repeatedly.
tbx_wine_start() {
    mkdir -p "$(dirname "$WINEPREFIX")"
    (
        # fd 9 holds the lock; every Wine process started below must not inherit it.
        flock 9
        tbx_wine_running && exit 0
        wine=$(tbx_wine_boot)
        # A server left without its keeper (or by another user of the prefix) would make the
        # "wait for the server to end" below wait for ever.
        "$TBX_WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-
        if [ ! -f "$WINEPREFIX/system.reg" ]; then
            "$wine" wineboot -i </dev/null >/dev/null 2>&1 9>&-
        fi
        # The null graphics driver: windows can be created, nothing needs an X server.
        "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f \
            </dev/null >/dev/null 2>&1 9>&-
        "$TBX_WINESERVER" -w 9>&-
        "$TBX_WINESERVER" -p </dev/null >/dev/null 2>&1 9>&-
        "$TBX_WINE64" notepad.exe </dev/null >/dev/null 2>&1 9>&- &
        echo $! >"$TBX_WINE_KEEPER_PID"
        # Returns once the services answer.
        "$wine" reg query 'HKCU\Software\Wine\Drivers' </dev/null >/dev/null 2>&1 9>&-
        tbx_wine_running
    ) 9>"$WINEPREFIX.lock"
}

# Ends every Wine process of this prefix (and only of this prefix).
tbx_wine_stop() {
    [ -d "$WINEPREFIX" ] || return 0
    (
        flock 9
        "$TBX_WINESERVER" -k </dev/null >/dev/null 2>&1 9>&-
        "$TBX_WINESERVER" -w </dev/null >/dev/null 2>&1 9>&-
        rm -f "$TBX_WINE_KEEPER_PID"
    ) 9>"$WINEPREFIX.lock"
    return 0
}
