# Runs a program and checks how it ended: cmake -DPROGRAM=path "-DARGS=a;b" -DEXPECT_EXIT=status
# "-DEXPECT_TEXT=text[;text...]" [-DEMULATOR=runner] [-DCONFIG_HOME=dir] [-DEXPECT_JSON_DEVICES=n]
# [-DEXPECT_JSON_FEATURELESS=m] -P ExpectRun.cmake. Fails (and shows the output) unless the exit status is the one expected and
# the output contains every text. EMULATOR runs the program (Wine in the cross build). With
# CONFIG_HOME the program gets that directory, emptied first, as its settings store: runs in
# parallel must not see each other's stored backups, nor touch the user's own. With
# EXPECT_JSON_DEVICES the standard output must be one JSON document whose "devices" array holds
# that many entries, each with a name and, but for EXPECT_JSON_FEATURELESS of them (0 by default;
# a receiver, a device switched off), at least one feature.
if(CONFIG_HOME)
  file(REMOVE_RECURSE "${CONFIG_HOME}")
  file(MAKE_DIRECTORY "${CONFIG_HOME}")
  set(ENV{XDG_CONFIG_HOME} "${CONFIG_HOME}")
endif()
execute_process(COMMAND ${EMULATOR} ${PROGRAM} ${ARGS}
  INPUT_FILE /dev/null
  OUTPUT_VARIABLE output ERROR_VARIABLE errors
  RESULT_VARIABLE status)
message("${output}${errors}")
if(NOT status STREQUAL EXPECT_EXIT)
  message(FATAL_ERROR "expected exit status ${EXPECT_EXIT}, got ${status}")
endif()
foreach(text IN LISTS EXPECT_TEXT)
  string(FIND "${output}${errors}" "${text}" found)
  if(found EQUAL -1)
    message(FATAL_ERROR "the output lacks \"${text}\"")
  endif()
endforeach()
if(DEFINED EXPECT_JSON_DEVICES)
  string(JSON count ERROR_VARIABLE error LENGTH "${output}" devices)
  if(error)
    message(FATAL_ERROR "the output is no JSON document with a devices array: ${error}")
  endif()
  if(NOT count EQUAL EXPECT_JSON_DEVICES)
    message(FATAL_ERROR "expected ${EXPECT_JSON_DEVICES} devices, got ${count}")
  endif()
  if(NOT DEFINED EXPECT_JSON_FEATURELESS)
    set(EXPECT_JSON_FEATURELESS 0)
  endif()
  set(featureless "")
  math(EXPR last "${count} - 1")
  foreach(device RANGE ${last})
    string(JSON name GET "${output}" devices ${device} name)
    string(JSON features LENGTH "${output}" devices ${device} features)
    if(features EQUAL 0)
      list(APPEND featureless "${name}")
    endif()
  endforeach()
  list(LENGTH featureless featurelessCount)
  if(NOT featurelessCount EQUAL EXPECT_JSON_FEATURELESS)
    message(FATAL_ERROR "expected ${EXPECT_JSON_FEATURELESS} devices without features, got: ${featureless}")
  endif()
endif()
