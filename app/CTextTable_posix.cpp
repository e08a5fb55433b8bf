#include "app/CTextTable.h"

#include <algorithm>

std::optional<std::string> CTextTable::find(unsigned languageId, unsigned textId) {
  const auto all = entries();
  const auto it = std::ranges::find_if(
      all, [&](const Entry& e) { return e.languageId == languageId && e.textId == textId; });
  if (it == all.end()) return std::nullopt;
  return std::string(it->text);
}
