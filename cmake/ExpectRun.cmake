# Runs a program and checks how it ended: cmake -DPROGRAM=path "-DARGS=a;b" -DEXPECT_EXIT=status
# -DEXPECT_TEXT=text [-DCONFIG_HOME=dir] -P ExpectRun.cmake. Fails (and shows the output) unless
# the exit status is the one expected and the output contains the text. With CONFIG_HOME the
# program gets that directory, emptied first, as its settings store: runs in parallel must not
# see each other's stored backups, nor touch the user's own.
if(CONFIG_HOME)
  file(REMOVE_RECURSE "${CONFIG_HOME}")
  file(MAKE_DIRECTORY "${CONFIG_HOME}")
  set(ENV{XDG_CONFIG_HOME} "${CONFIG_HOME}")
endif()
execute_process(COMMAND ${PROGRAM} ${ARGS}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE output ERROR_VARIABLE output
  RESULT_VARIABLE status)
message("${output}")
if(NOT status STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "expected exit status ${EXPECT_EXIT}, got ${status}")
endif()
string(FIND "${output}" "${EXPECT_TEXT}" found)
if(found EQUAL -1)
  message(FATAL_ERROR "the output lacks \"${EXPECT_TEXT}\"")
endif()
