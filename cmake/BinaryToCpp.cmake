# Turns a binary file into a C++ function that returns its bytes.
# Usage: cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DFUNCTION=<qualified name> -DHEADER=<include>
#        -P BinaryToCpp.cmake
# The function is declared in HEADER as: std::span<const std::uint8_t> FUNCTION();
file(READ "${INPUT}" hex HEX)
if(hex STREQUAL "")
  message(FATAL_ERROR "${INPUT} is empty")
endif()
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
# Sixteen bytes to a line.
string(REPEAT "0x..," 16 line)
string(REGEX REPLACE "(${line})" "\\1\n      " bytes "${bytes}")
string(STRIP "${bytes}" bytes)
file(WRITE "${OUTPUT}" "// Made from ${INPUT} by BinaryToCpp.cmake at build time.
#include \"${HEADER}\"

std::span<const std::uint8_t> ${FUNCTION}() {
  static constexpr std::uint8_t kBytes[] = {
      ${bytes}
  };
  return kBytes;
}
")
