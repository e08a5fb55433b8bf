# Turns the update tool's text tables into C++ data: CTextTable::entries().
# Usage: cmake -DINPUT=<texts.txt> -DOUTPUT=<file.cpp> -P TextsToCpp.cmake
# The input format is described at the top of app/resources/texts/texts.txt.
file(READ "${INPUT}" content)

# Keep ";" and brackets of the texts away from CMake's list splitting until each line is read.
string(ASCII 1 semicolon)
string(ASCII 2 open_bracket)
string(ASCII 3 close_bracket)
string(REPLACE ";" "${semicolon}" content "${content}")
string(REPLACE "[" "${open_bracket}" content "${content}")
string(REPLACE "]" "${close_bracket}" content "${content}")
string(REPLACE "\r" "" content "${content}")
string(REPLACE "\n" ";" lines "${content}")

set(language "")
set(entries "")
set(number 0)
foreach(line IN LISTS lines)
  math(EXPR number "${number} + 1")
  string(REPLACE "${semicolon}" ";" line "${line}")
  string(REPLACE "${open_bracket}" "[" line "${line}")
  string(REPLACE "${close_bracket}" "]" line "${line}")
  if(line STREQUAL "" OR line MATCHES "^#")
    continue()
  elseif(line MATCHES "^language ([0-9]+)( |$)")
    set(language "${CMAKE_MATCH_1}")
  elseif(line MATCHES "^([0-9]+) (.+)$" AND NOT language STREQUAL "")
    set(id "${CMAKE_MATCH_1}")
    set(text "${CMAKE_MATCH_2}")
    if(text MATCHES "\\)kz\"")
      message(FATAL_ERROR "${INPUT}:${number}: a text may not contain )kz\"")
    endif()
    string(APPEND entries "      {${language}, ${id}, R\"kz(${text})kz\"},\n")
  else()
    message(FATAL_ERROR "${INPUT}:${number}: expected a comment, \"language <id> <name>\" or \"<id> <text>\"")
  endif()
endforeach()

file(WRITE "${OUTPUT}" "// Made from ${INPUT} by TextsToCpp.cmake at build time; edit the source instead.
#include \"app/CTextTable.h\"

std::span<const CTextTable::Entry> CTextTable::entries() {
  static constexpr Entry kEntries[] = {
${entries}  };
  return kEntries;
}
")
