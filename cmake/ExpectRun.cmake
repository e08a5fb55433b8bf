# Runs a program and checks how it ended: cmake -DPROGRAM=path "-DARGS=a;b" -DEXPECT_EXIT=0|nonzero
# -DEXPECT_TEXT=text -P ExpectRun.cmake. Fails (and shows the output) unless the exit status
# matches and the output contains the text.
execute_process(COMMAND ${PROGRAM} ${ARGS}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE output ERROR_VARIABLE output
  RESULT_VARIABLE status)
message("${output}")
if(EXPECT_EXIT STREQUAL "nonzero")
  if(status EQUAL 0)
    message(FATAL_ERROR "expected a non-zero exit status, got 0")
  endif()
elseif(NOT status EQUAL EXPECT_EXIT)
  message(FATAL_ERROR "expected exit status ${EXPECT_EXIT}, got ${status}")
endif()
string(FIND "${output}" "${EXPECT_TEXT}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the output lacks \"${EXPECT_TEXT}\"")
endif()
