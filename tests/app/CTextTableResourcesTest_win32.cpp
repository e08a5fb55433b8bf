#include <gtest/gtest.h>

#include <set>

#include "app/CTextTable.h"

namespace {

// The program's string tables are made from the same texts.txt as the portable table: every
// text of every language reads back from the resources unchanged, in its own language only.
TEST(CTextTableResources, EveryTextOfEveryLanguageEqualsThePortableTable) {
  std::set<unsigned> languages;
  for (const auto& entry : CTextTable::entries()) {
    languages.insert(entry.languageId);
    EXPECT_EQ(CTextTable::find(entry.languageId, entry.textId), std::string(entry.text))
        << entry.languageId << "/" << entry.textId;
  }
  EXPECT_EQ(languages.size(), 20u);
}

// FindResourceEx would answer a missing language with another table; LoadText must fall back by
// its own rule (Spanish of Mexico and Portuguese of Brazil get English, not Spanish of Spain).
TEST(CTextTableResources, ALanguageWithoutATableFindsNone) {
  for (const unsigned language : {0u, 1033u, 2058u, 1046u, 0x0409u | 0x10000u})
    EXPECT_FALSE(CTextTable::find(language, 1035)) << language;
  EXPECT_EQ(CTextTable::LoadText(1033, 2058, false), *CTextTable::find(9, 1033));
  EXPECT_FALSE(CTextTable::find(9, 1028));
  EXPECT_FALSE(CTextTable::find(9, 1037));
}

}  // namespace
