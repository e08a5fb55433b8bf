#pragma once

#include <string>
#include <string_view>

namespace devio {

// Conversion between the library's UTF-8 text and the UTF-16 of the Windows wide-character
// APIs. Windows only (WideText_win32.cpp); invalid sequences become U+FFFD.
class WideText {
 public:
  static std::wstring fromUtf8(std::string_view text);
  static std::string toUtf8(std::wstring_view text);
};

}  // namespace devio
