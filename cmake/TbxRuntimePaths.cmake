# Paths as the built programs see them. A Windows build runs under Wine, where a Linux path such
# as /work/build/redist is the drive path Z:\work\build\redist; natively the path is unchanged.
#
#   tbx_runtime_path(<out-var> <path>)
#       sets <out-var> to <path> as the programs of this build see it (use it for test arguments)
#   tbx_target_runtime_path(<target> <macro> <path>)
#       defines <macro> for <target> as a C string literal holding that path
#
# TBX_REDIST_RUNTIME_DIR is TBX_REDIST_DIR in that form.

function(tbx_runtime_path out path)
  if(WIN32 AND CMAKE_CROSSCOMPILING AND path MATCHES "^/")
    string(REPLACE "/" "\\" path "${path}")
    set(path "Z:${path}")
  endif()
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

function(tbx_target_runtime_path target macro path)
  tbx_runtime_path(path "${path}")
  string(REPLACE "\\" "\\\\" path "${path}")
  string(REPLACE "\"" "\\\"" path "${path}")
  target_compile_definitions(${target} PRIVATE "${macro}=\"${path}\"")
endfunction()

tbx_runtime_path(TBX_REDIST_RUNTIME_DIR "${TBX_REDIST_DIR}")
