# Fails unless LIBRARY's dynamic symbol table defines exactly the five
# remote-API entry points. Run with -DNM=<nm> -DLIBRARY=<file>.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(names)
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND names "${name}")
endforeach()
list(SORT names)
set(expected CeRapiInitEx CeRapiUninit CeRegCloseKey CeRegOpenKeyEx CeRegQueryValueEx)
if(NOT names STREQUAL expected)
  message(FATAL_ERROR "exported: ${names}\nexpected exactly: ${expected}")
endif()
message(STATUS "exports: ${names}")
