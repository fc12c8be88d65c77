# Fails when a Windows program or library of the build imports a mingw runtime DLL (libgcc,
# libstdc++, libwinpthread, ...): the control and the stand-ins must run on a bare Windows, so the
# runtimes are linked in statically.
#   cmake -DOBJDUMP=<objdump> -DDIR=<build folder> -P CheckRuntimeImports.cmake
cmake_policy(SET CMP0009 NEW)
if(NOT OBJDUMP OR NOT DIR)
  message(FATAL_ERROR "usage: cmake -DOBJDUMP=<objdump> -DDIR=<folder> -P ${CMAKE_CURRENT_LIST_FILE}")
endif()

file(GLOB_RECURSE binaries LIST_DIRECTORIES false
     ${DIR}/*.exe ${DIR}/*.dll ${DIR}/*.DLL ${DIR}/*.ocx)
list(FILTER binaries EXCLUDE REGEX "/CMakeFiles/")
if(NOT binaries)
  message(FATAL_ERROR "no Windows binaries under ${DIR}")
endif()

set(bad "")
set(count 0)
foreach(binary IN LISTS binaries)
  execute_process(COMMAND ${OBJDUMP} -p ${binary} OUTPUT_VARIABLE dump RESULT_VARIABLE rc
                  ERROR_QUIET)
  if(NOT rc EQUAL 0)
    # Not an image objdump reads: data files that tests write under a .dll name.
    continue()
  endif()
  math(EXPR count "${count} + 1")
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${dump}")
  foreach(import IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${import}")
    string(TOLOWER "${dll}" dll_lower)
    if(dll_lower MATCHES "^lib(gcc|stdc\\+\\+|winpthread|ssp|gomp|quadmath|atomic)")
      list(APPEND bad "${binary} imports ${dll}")
    endif()
  endforeach()
endforeach()

if(bad)
  list(JOIN bad "\n  " text)
  message(FATAL_ERROR "runtime DLL imports found:\n  ${text}")
endif()
message(STATUS "${count} Windows binaries checked: no runtime DLL imports")
