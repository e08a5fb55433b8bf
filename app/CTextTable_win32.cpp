#include "app/CTextTable.h"

#include <windows.h>

#include <string_view>

#include "devio/runtime/WideText.h"

namespace {

// FindResourceEx falls back to other languages when the one asked for is missing; the lookup
// rule of LoadText wants the exact table or none.
bool hasLanguage(WORD block, WORD languageId) {
  struct Search {
    WORD wanted;
    bool found = false;
  } search{languageId};
  EnumResourceLanguagesW(
      nullptr, RT_STRING, MAKEINTRESOURCEW(block),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        s.found = s.found || language == s.wanted;
        return !s.found;
      },
      reinterpret_cast<LONG_PTR>(&search));
  return search.found;
}

}  // namespace

// A string table resource holds the texts of sixteen ids, block n the ids 16 (n - 1) to
// 16 n - 1, each as a UTF-16 length followed by that many characters; a missing text has
// length 0.
std::optional<std::string> CTextTable::find(unsigned languageId, unsigned textId) {
  const auto block = static_cast<WORD>(textId / 16 + 1);
  const auto language = static_cast<WORD>(languageId);
  if (languageId > 0xFFFF || !hasLanguage(block, language)) return std::nullopt;
  HRSRC found = FindResourceExW(nullptr, RT_STRING, MAKEINTRESOURCEW(block), language);
  HGLOBAL loaded = found ? LoadResource(nullptr, found) : nullptr;
  const auto* units = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
  if (!units) return std::nullopt;
  const WCHAR* end = units + SizeofResource(nullptr, found) / sizeof(WCHAR);
  for (unsigned skip = textId % 16; skip > 0 && units < end; --skip) units += 1 + *units;
  if (units >= end || *units == 0 || units + 1 + *units > end) return std::nullopt;
  return devio::WideText::toUtf8(std::wstring_view(units + 1, *units));
}
