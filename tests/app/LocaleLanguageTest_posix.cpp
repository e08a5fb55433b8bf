#include "app/terminal/LocaleLanguage.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

struct LocaleCase {
  const char* name;
  unsigned languageId;
};

class LocaleLanguageTest : public ::testing::TestWithParam<LocaleCase> {};

TEST_P(LocaleLanguageTest, MapsTheLocaleNameToAWindowsLanguageId) {
  EXPECT_EQ(LocaleLanguage::fromLocaleName(GetParam().name), GetParam().languageId) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(Names, LocaleLanguageTest,
                         ::testing::Values(LocaleCase{"en_US.UTF-8", 1033}, LocaleCase{"de_DE.UTF-8", 1031},
                                           LocaleCase{"de_AT", 3079}, LocaleCase{"de_LU.UTF-8", 1031},
                                           LocaleCase{"es_MX.UTF-8", 2058}, LocaleCase{"es_ES@euro", 3082},
                                           LocaleCase{"pt_BR.UTF-8", 1046}, LocaleCase{"pt_PT.UTF-8", 2070},
                                           LocaleCase{"zh_TW.UTF-8", 1028}, LocaleCase{"zh_CN.GB18030", 2052},
                                           LocaleCase{"nb_NO.UTF-8", 1044}, LocaleCase{"ja", 1041},
                                           LocaleCase{"FR_ca", 3084}, LocaleCase{"C", 1033},
                                           LocaleCase{"POSIX", 1033}, LocaleCase{"C.UTF-8", 1033},
                                           LocaleCase{"", 1033}, LocaleCase{"xx_YY", 1033},
                                           LocaleCase{"el_GR.UTF-8", 1033}));

// The environment decides in the order of message catalogues: LC_ALL, LC_MESSAGES, LANG.
TEST(LocaleLanguageEnvironmentTest, TheFirstSetVariableWins) {
  struct Restore {
    std::string saved[3];
    bool set[3];
    const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    Restore() {
      for (int i = 0; i < 3; ++i) {
        const char* value = std::getenv(names[i]);
        set[i] = value != nullptr;
        if (value != nullptr) saved[i] = value;
      }
    }
    ~Restore() {
      for (int i = 0; i < 3; ++i) set[i] ? setenv(names[i], saved[i].c_str(), 1) : unsetenv(names[i]);
    }
  } restore;

  setenv("LANG", "fr_FR.UTF-8", 1);
  setenv("LC_MESSAGES", "", 1);
  unsetenv("LC_ALL");
  EXPECT_EQ(LocaleLanguage::fromEnvironment(), 1036u);
  setenv("LC_MESSAGES", "it_IT.UTF-8", 1);
  EXPECT_EQ(LocaleLanguage::fromEnvironment(), 1040u);
  setenv("LC_ALL", "sv_SE.UTF-8", 1);
  EXPECT_EQ(LocaleLanguage::fromEnvironment(), 1053u);
  unsetenv("LC_ALL");
  unsetenv("LC_MESSAGES");
  unsetenv("LANG");
  EXPECT_EQ(LocaleLanguage::fromEnvironment(), 1033u);
}

}  // namespace
