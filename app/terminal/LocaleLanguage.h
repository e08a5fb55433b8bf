#pragma once

#include <string_view>

// The Windows language id (e.g. 1031 for German, Germany) of a POSIX locale name such as
// "de_DE.UTF-8" or "pt_BR@euro": the language and territory when they are known, else the
// language's usual id, else US English (1033). "C", "POSIX" and empty names are US English.
class LocaleLanguage {
 public:
  static constexpr unsigned UsEnglish = 1033;

  static unsigned fromLocaleName(std::string_view name);
  // The locale that names the language of messages: LC_ALL, else LC_MESSAGES, else LANG (the
  // first that is set and not empty).
  static unsigned fromEnvironment();
};
