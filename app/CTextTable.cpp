#include "app/CTextTable.h"

#include <array>

namespace {

constexpr std::string_view kPlaceholder = "%%DFU_PACKAGE_VERSION%%";
constexpr unsigned kUsEnglish = 1033;

// A language id's primary language with the neutral sub-language: its low 10 bits.
unsigned primaryLanguage(unsigned languageId) { return languageId & 0x3FFu; }

}  // namespace

std::string CTextTable::LoadText(unsigned id, unsigned languageId, bool secondVariant) {
  const std::array candidates{languageId, primaryLanguage(languageId), kUsEnglish, primaryLanguage(kUsEnglish)};
  std::string text;
  for (const unsigned candidate : candidates) {
    if (const auto found = find(candidate, id)) {
      text = *found;
      break;
    }
  }
  const std::string_view version = secondVariant ? "371.12.12" : "371.3.11";
  for (auto pos = text.find(kPlaceholder); pos != std::string::npos;
       pos = text.find(kPlaceholder, pos + version.size()))
    text.replace(pos, kPlaceholder.size(), version);
  return text;
}
