# Shared part of the mingw-w64 toolchain files. The including file sets TBX_MINGW_TRIPLE,
# TBX_MINGW_PROCESSOR, TBX_WIDL_FLAGS and TBX_WINE_WRAPPER before including this one.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${TBX_MINGW_PROCESSOR})

# The *-posix compilers: GoogleTest and our own code need std::thread and std::mutex, which the
# win32 thread model of the plain mingw compilers lacks.
set(CMAKE_C_COMPILER   ${TBX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TBX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${TBX_MINGW_TRIPLE}-windres)

# widl for the type library of the control; the -L folder holds Wine's stdole2.tlb and the -I
# folder Wine's IDL files (package libwine-dev).
set(WIDL ${TBX_MINGW_TRIPLE}-widl CACHE FILEPATH "IDL compiler for the type library")
set(WIDL_FLAGS ${TBX_WIDL_FLAGS} -I/usr/include/wine/wine/windows CACHE STRING "Flags for widl")

set(CMAKE_FIND_ROOT_PATH /usr/${TBX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# ctest (and gtest discovery at test time) run every Windows executable through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/${TBX_WINE_WRAPPER})
