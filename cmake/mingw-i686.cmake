# 32-bit Windows build with mingw-w64; tests run under Wine (cmake/wine-run-32.sh).
set(TBX_MINGW_TRIPLE i686-w64-mingw32)
set(TBX_MINGW_PROCESSOR x86)
set(TBX_WIDL_FLAGS --win32 -L/usr/lib/i386-linux-gnu/wine/i386-windows)
set(TBX_WINE_WRAPPER wine-run-32.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
