#include "app/CTextTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>

namespace {

using testing::ElementsAreArray;
using testing::EndsWith;
using testing::HasSubstr;
using testing::Not;

constexpr unsigned kLanguages[] = {9,    1028, 1029, 1030, 1031, 1035, 1036, 1038, 1040, 1041,
                                   1042, 1043, 1044, 1045, 1049, 1053, 1055, 2052, 2070, 3082};
constexpr unsigned kTextIds[] = {1024, 1025, 1026, 1027, 1029, 1030, 1031, 1032, 1033, 1034, 1035, 1036};
constexpr std::string_view kPlaceholder = "%%DFU_PACKAGE_VERSION%%";
constexpr std::string_view kSupportAddressEnding = "https://support.example.com/kavrin.";

std::map<unsigned, std::set<unsigned>> idsByLanguage() {
  std::map<unsigned, std::set<unsigned>> ids;
  for (const auto& entry : CTextTable::entries()) ids[entry.languageId].insert(entry.textId);
  return ids;
}

TEST(CTextTable, HasTheTwelveTextsInEachOfTheTwentyLanguages) {
  const auto ids = idsByLanguage();
  std::set<unsigned> languages;
  for (const auto& [language, textIds] : ids) {
    languages.insert(language);
    EXPECT_THAT(textIds, ElementsAreArray(kTextIds)) << "language " << language;
  }
  EXPECT_THAT(languages, ElementsAreArray(kLanguages));
  EXPECT_EQ(CTextTable::entries().size(), std::size(kLanguages) * std::size(kTextIds));
}

TEST(CTextTable, EveryTableKeepsThePlaceholdersAndTheSupportAddress) {
  for (const unsigned language : kLanguages) {
    for (const unsigned id : kTextIds) {
      const auto text = CTextTable::find(language, id);
      ASSERT_TRUE(text) << language << "/" << id;
      EXPECT_FALSE(text->empty()) << language << "/" << id;
      const bool needsPlaceholder = id == 1024 || id == 1025 || id == 1036;
      EXPECT_EQ(text->find(kPlaceholder) != std::string_view::npos, needsPlaceholder) << language << "/" << id;
    }
    EXPECT_THAT(std::string(*CTextTable::find(language, 1034)), EndsWith(std::string(kSupportAddressEnding)))
        << "language " << language;
    EXPECT_FALSE(CTextTable::find(language, 1028)) << "language " << language;
  }
}

TEST(CTextTable, EnglishTextsAreTheToolsOwn) {
  const std::map<unsigned, std::string_view> english = {
      {1024, "Norvale Kavrin Zephel Device Update Tool v%%DFU_PACKAGE_VERSION%%"},
      {1025, "This application will apply a critical firmware update (v%%DFU_PACKAGE_VERSION%%) to your Kavrin Zephel"},
      {1026, "Release Notes"},
      {1027, "Eliminates noise that occurred at some lighting levels and settings."},
      {1029, "To begin the update, unplug and replug your Kavrin Zephel"},
      {1030,
       "While your Kavrin Zephel is updating, it will not be functional. Please wait until the update has completed."},
      {1031, "Updating firmware. Do not unplug your Kavrin Zephel"},
      {1032, "You have successfully updated the firmware"},
      {1033, "Close"},
      {1034,
       "An error occurred. Please contact Customer Care for further assistance at https://support.example.com/kavrin."},
      {1035, "Please connect your device to continue."},
      {1036, "Your device has firmware v%%DFU_PACKAGE_VERSION%% or higher. No update is needed."},
  };
  for (const auto& [id, text] : english) EXPECT_EQ(CTextTable::find(9, id), text) << id;
}

struct LanguageCase {
  unsigned languageId;
  std::string_view close;  // text 1033 of the table the language resolves to
};

void PrintTo(const LanguageCase& c, std::ostream* os) { *os << c.languageId; }

class LanguageLookup : public testing::TestWithParam<LanguageCase> {};

TEST_P(LanguageLookup, FindsTheTableOfTheLanguageOrFallsBackToEnglish) {
  EXPECT_EQ(CTextTable::LoadText(1033, GetParam().languageId, false), GetParam().close);
}

INSTANTIATE_TEST_SUITE_P(Languages, LanguageLookup,
                         testing::Values(LanguageCase{1033, "Close"},       // US English: primary language 9
                                         LanguageCase{2057, "Close"},       // UK English: primary language 9
                                         LanguageCase{9, "Close"},          // the neutral table itself
                                         LanguageCase{1031, "Schließen"},   // German
                                         LanguageCase{3082, "Cerrar"},      // Spanish (Spain)
                                         LanguageCase{1028, "關閉"},        // Chinese (Traditional)
                                         LanguageCase{2058, "Close"},       // Spanish (Mexico): no table
                                         LanguageCase{1046, "Close"},       // Portuguese (Brazil): no table
                                         LanguageCase{2055, "Close"},       // German (Switzerland): no neutral 7
                                         LanguageCase{0, "Close"}));

TEST(CTextTable, LoadTextPutsTheVariantsVersionInPlaceOfThePlaceholder) {
  EXPECT_EQ(CTextTable::LoadText(1024, 1033, false), "Norvale Kavrin Zephel Device Update Tool v371.3.11");
  EXPECT_EQ(CTextTable::LoadText(1024, 1033, true), "Norvale Kavrin Zephel Device Update Tool v371.12.12");
  for (const unsigned language : kLanguages) {
    for (const unsigned id : {1024u, 1025u, 1036u}) {
      for (const bool second : {false, true}) {
        const auto text = CTextTable::LoadText(id, language, second);
        EXPECT_THAT(text, Not(HasSubstr(std::string(kPlaceholder))));
        EXPECT_THAT(text, HasSubstr(second ? "v371.12.12" : "v371.3.11")) << language << "/" << id;
      }
    }
  }
}

TEST(CTextTable, IdWithoutTextIsEmpty) {
  EXPECT_EQ(CTextTable::LoadText(1028, 1031, false), "");
  EXPECT_EQ(CTextTable::LoadText(4711, 1033, true), "");
}

}  // namespace
