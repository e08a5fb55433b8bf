# Checks what the shipped Windows program carries: cmake -DPROGRAM=exe -DWINDRES=windres -P
# CheckResources.cmake. Fails unless its resources are dialog 102, twenty string tables, icons 128
# and 130, FIRMWARE 2000 and 2001, the version information and the manifest, and unless it holds
# nothing of the simulated host.
execute_process(COMMAND ${WINDRES} -i ${PROGRAM} -O rc OUTPUT_VARIABLE listing RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "${WINDRES} could not read the resources of ${PROGRAM}")
endif()
function(expect_count what pattern count)
  string(REGEX MATCHALL "${pattern}" found "${listing}")
  list(LENGTH found n)
  if(NOT n EQUAL count)
    message(FATAL_ERROR "expected ${count} ${what}, found ${n}")
  endif()
endfunction()
expect_count("dialog 102" "\n102 DIALOGEX" 1)
expect_count("string tables" "\nSTRINGTABLE" 20)
expect_count("icon 128" "\n128 14 " 1)
expect_count("icon 130" "\n130 14 " 1)
expect_count("firmware image 2000" "\n2000 \"FIRMWARE\"" 1)
expect_count("firmware image 2001" "\n2001 \"FIRMWARE\"" 1)
expect_count("version information" "\n1 VERSIONINFO" 1)
expect_count("manifest" "\n1 24 " 1)
# The simulated host names its pipes; the shipped program must not contain it.
file(STRINGS ${PROGRAM} simulated ENCODING UTF-16LE REGEX "kz-simulated-hid")
if(simulated)
  message(FATAL_ERROR "${PROGRAM} contains the simulated host")
endif()
message("${PROGRAM}: dialog 102, 20 string tables, icons 128 and 130, FIRMWARE 2000 and 2001, version information, manifest")
