# 64-bit Windows build with mingw-w64; tests run under Wine (cmake/wine-run-64.sh).
set(TBX_MINGW_TRIPLE x86_64-w64-mingw32)
set(TBX_MINGW_PROCESSOR AMD64)
set(TBX_WIDL_FLAGS --win64 -L/usr/lib/x86_64-linux-gnu/wine/x86_64-windows)
set(TBX_WINE_WRAPPER wine-run-64.sh)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
