#include "tests/support/TemporarySettingsStore.h"

#include <random>

namespace testsupport {

TemporarySettingsStore::TemporarySettingsStore() {
  const devio::SettingsStore user;
  std::random_device random;
  do {
    root_ = "Software\\Norvale\\devio-test-" + std::to_string(random());
  } while (user.openKey(root_));
  user.createKey(root_);
}

TemporarySettingsStore::~TemporarySettingsStore() { devio::SettingsStore().deleteTree(root_); }

}  // namespace testsupport
