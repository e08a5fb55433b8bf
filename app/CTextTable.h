#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

// The update tool's texts in every language it ships, looked up the way the Windows string
// tables are: by the user's language id, falling back to English.
class CTextTable {
 public:
  struct Entry {
    unsigned languageId;
    unsigned textId;
    std::string_view text;
  };

  // Every text of every table, made at build time from app/resources/texts/texts.txt.
  static std::span<const Entry> entries();

  // The text of the table whose language id is exactly languageId; empty when either is missing.
  // Windows reads the program's string tables (CTextTable_win32.cpp), elsewhere entries().
  static std::optional<std::string> find(unsigned languageId, unsigned textId);

  // The text for a language id: its own table, else the table of its primary language with a
  // neutral sub-language, else US English (1033, served by table 9); empty when all fail. Every
  // "%%DFU_PACKAGE_VERSION%%" becomes the firmware version of the keyboard variant.
  static std::string LoadText(unsigned id, unsigned languageId, bool secondVariant);
};
