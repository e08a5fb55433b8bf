#pragma once

#include "devio/runtime/SettingsStore.h"

namespace testsupport {

// A settings store of one test: a fresh directory (POSIX) or a fresh key under
// HKEY_CURRENT_USER\Software\Norvale (Windows), removed on destruction.
class TemporarySettingsStore {
 public:
  TemporarySettingsStore();
  ~TemporarySettingsStore();
  TemporarySettingsStore(const TemporarySettingsStore&) = delete;
  TemporarySettingsStore& operator=(const TemporarySettingsStore&) = delete;

  // A new store object on the same root each time.
  devio::SettingsStore store() const { return devio::SettingsStore(root_); }

 private:
  std::string root_;
};

}  // namespace testsupport
