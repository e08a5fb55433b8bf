#include "app/terminal/LocaleLanguage.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

struct Known {
  std::string_view locale;  // "ll" or "ll_TT"
  unsigned languageId;
};

// The languages the tool has texts for, with the territories whose ids are commonly met. A bare
// language stands for the id of its main territory.
constexpr std::array kKnown{
    Known{"cs", 1029},    Known{"da", 1030},    Known{"de", 1031},    Known{"de_AT", 3079},
    Known{"de_CH", 2055}, Known{"en", 1033},    Known{"en_AU", 3081}, Known{"en_CA", 4105},
    Known{"en_GB", 2057}, Known{"en_IE", 6153}, Known{"en_NZ", 5129}, Known{"es", 3082},
    Known{"es_MX", 2058}, Known{"fi", 1035},    Known{"fr", 1036},    Known{"fr_BE", 2060},
    Known{"fr_CA", 3084}, Known{"fr_CH", 4108}, Known{"hu", 1038},    Known{"it", 1040},
    Known{"it_CH", 2064}, Known{"ja", 1041},    Known{"ko", 1042},    Known{"nb", 1044},
    Known{"nl", 1043},    Known{"nl_BE", 2067}, Known{"nn", 2068},    Known{"no", 1044},
    Known{"pl", 1045},    Known{"pt", 2070},    Known{"pt_BR", 1046}, Known{"ru", 1049},
    Known{"sv", 1053},    Known{"sv_FI", 2077}, Known{"tr", 1055},    Known{"zh", 2052},
    Known{"zh_HK", 3076}, Known{"zh_SG", 4100}, Known{"zh_TW", 1028},
};

std::optional<unsigned> lookUp(const std::string& locale) {
  const auto it = std::find_if(kKnown.begin(), kKnown.end(), [&](const Known& k) { return k.locale == locale; });
  if (it == kKnown.end()) return std::nullopt;
  return it->languageId;
}

}  // namespace

unsigned LocaleLanguage::fromLocaleName(std::string_view name) {
  name = name.substr(0, name.find_first_of(".@"));
  const std::size_t separator = name.find('_');
  std::string language(name.substr(0, separator));
  std::transform(language.begin(), language.end(), language.begin(), [](unsigned char c) { return std::tolower(c); });
  if (separator != std::string_view::npos) {
    std::string territory(name.substr(separator + 1));
    std::transform(territory.begin(), territory.end(), territory.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    if (std::optional<unsigned> id = lookUp(language + "_" + territory)) return *id;
  }
  return lookUp(language).value_or(UsEnglish);
}

unsigned LocaleLanguage::fromEnvironment() {
  for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(variable);
    if (value != nullptr && *value != '\0') return fromLocaleName(value);
  }
  return UsEnglish;
}
