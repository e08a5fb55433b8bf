# Collects the sources of one folder for this host: files ending in _win32.cpp are
# Windows-only, files ending in _posix.cpp are POSIX-only, everything else is portable.
function(kz_host_sources out)
  set(result)
  foreach(dir IN LISTS ARGN)
    file(GLOB files CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/${dir}/*.cpp")
    foreach(f IN LISTS files)
      if(f MATCHES "_win32\\.cpp$" AND NOT WIN32)
        continue()
      endif()
      if(f MATCHES "_posix\\.cpp$" AND WIN32)
        continue()
      endif()
      list(APPEND result "${f}")
    endforeach()
  endforeach()
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Runs a test binary: natively, or through the emulator (Wine) in the cross build.
function(kz_add_test_binary name)
  add_executable(${name} ${ARGN})
  target_link_libraries(${name} PRIVATE kz_testsupport GTest::gtest GTest::gmock)
  if(CMAKE_CROSSCOMPILING)
    # Under Wine every test binary runs once as a whole; discovery would start Wine per test.
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    # A crash starts Wine's debugger, which waits forever: end the run as a failure instead.
    set_tests_properties(${name} PROPERTIES TIMEOUT 900)
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 300)
  endif()
endfunction()
