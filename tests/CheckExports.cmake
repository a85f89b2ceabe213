# Fails unless the module file defines exactly its three entry functions among
# its dynamic symbols: nothing else of ours, nothing of TensorFlow's.
#   cmake -DMODULE=<file> -DNM=<nm> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${MODULE}
  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "${NM} failed on ${MODULE}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected IdentifyPixInsightModule InitializePixInsightModule InstallPixInsightModule)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "The module exports ${names}; expected exactly ${expected}")
endif()
