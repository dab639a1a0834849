# Runs PROGRAM and fails unless it exits with EXPECTED.
execute_process(COMMAND "${PROGRAM}" RESULT_VARIABLE result)
if(NOT result STREQUAL "${EXPECTED}")
  message(FATAL_ERROR "${PROGRAM} exited with ${result}, expected ${EXPECTED}")
endif()
