# Runs the benchmark program once with the shortest measuring time and checks what it printed.
execute_process(COMMAND ${BENCH} --benchmark_min_time=0.01
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE errors)
message("${output}")
if(NOT result EQUAL 0)
  message(FATAL_ERROR "tbx_bench exited with ${result}:\n${errors}")
endif()
if(NOT output MATCHES "Overhead ratios")
  message(FATAL_ERROR "tbx_bench printed no ratio table")
endif()
foreach(pair "live-view frame" "parameter read" "card download" "generation-2 live-view frame"
             "generation-2 card download" "probe, cached vs probed" "PTP viewfinder frame" "event latency"
             "event burst of 64")
  if(NOT output MATCHES "${pair} +[0-9.]+ [mun]?s +[0-9.]+ [mun]?s +[0-9.]+x +[0-9.]+x")
    message(FATAL_ERROR "The ratio table has no ratio for '${pair}'")
  endif()
endforeach()
