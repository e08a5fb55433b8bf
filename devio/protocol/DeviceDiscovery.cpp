// Feature discovery, the firmware identity check and the persistent command cache of Device.

#include <cstdio>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "devio/protocol/CommandCacheFile.h"
#include "devio/protocol/Device.h"
#include "devio/protocol/Feature.h"
#include "devio/protocol/FeatureRegistry.h"
#include "devio/protocol/IFeature0000Root.h"
#include "devio/protocol/IFeature0001FeatureSet.h"
#include "devio/protocol/IFeature0003FirmwareInfo.h"
#include "devio/protocol/LastError.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::Device::" #name

namespace devio {

namespace {

constexpr const char* kTag = "Device";
constexpr unsigned RootId = 0x0000;
constexpr unsigned FeatureSetId = 0x0001;
constexpr unsigned FirmwareInfoId = 0x0003;
constexpr int FirstEnumeratedIndex = 2;  // 0 is Root, 1 is taken to be FeatureSet
constexpr int ActiveEntityFlag = 0x01;   // rdnf bit 0
constexpr const char* NoFirmwareInfo = "NotPresent";

// Shortest entries the command engine can have stored: a request carries at least its header
// (report id, device index, feature index, function byte) and an answer is a whole report.
constexpr std::size_t MinimumRequestLength = 4;
constexpr std::size_t MinimumResponseLength = 7;

bool usableEntry(const Bytes& cmd, const Bytes& rsp) {
  return cmd.size() >= MinimumRequestLength && rsp.size() >= MinimumResponseLength;
}

// Decimal firmware type, prefix, version and build, then the unit id when an active entity
// answered.
std::string identity(int fwType, const std::string& prefix, const std::string& version, const std::string& build,
                     std::optional<unsigned> unitId) {
  std::string text = std::to_string(fwType) + prefix + version + build;
  if (unitId) {
    char unit[16];
    std::snprintf(unit, sizeof unit, "%X", *unitId);
    text += unit;
  }
  return text;
}

}  // namespace

// ---- Feature table ----

std::shared_ptr<IFeature> Device::makeFeature(unsigned id, int index, bool obsolete, bool hidden, bool engineering,
                                              int version) {
  std::shared_ptr<IFeature> feature = createFeature(id, index, weak_from_this());
  if (auto base = std::dynamic_pointer_cast<Feature>(feature)) {
    base->set_table_flags(obsolete, hidden, engineering, version);
  }
  return feature;
}

std::shared_ptr<IFeature> Device::keepFeature(int index, std::shared_ptr<IFeature> feature) {
  std::lock_guard lock(featureTableMutex_);
  std::shared_ptr<IFeature>& slot = featureTable_[index];
  // An object already made for this feature stays: its subscribers and configured state live
  // on it, and the read handler delivers notifications to the object in the table.
  if (!slot || slot->id() != feature->id()) slot = std::move(feature);
  return slot;
}

bool Device::retry_load_feature_root() { return load_feature_root(true); }

bool Device::load_feature_root(bool retry) {
  bool cacheWasFilled = false;
  {
    std::lock_guard lock(featureTableMutex_);
    if (retry) {
      xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root - retry was requested");
      rootState_ = 0;
    }
    if (rootState_ == 2) {
      xLog(kTag, LogInfo, FN(load_feature_root),
           "Device::load_feature_root - using previous true result (feature already loaded)");
      return true;
    }
    if (rootState_ == 1) {
      LastError::set(NotVelo20);
      xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root - using previous false result (NotVelo20)");
      return false;
    }
  }
  {
    std::lock_guard lock(commandMutex_);
    cacheWasFilled = !commandCache_.empty();
  }

  xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root enter");
  std::shared_ptr<IFeature> feature = makeFeature(RootId, 0, false, false, false, 0);
  if (!feature) {
    LastError::set(GeneralError, 0, "cannot create root feature");
    xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root exit (false, cannot create root feature)");
    return false;
  }
  auto root = std::dynamic_pointer_cast<IFeature0000Root>(feature);
  if (!root) {
    LastError::set(GeneralError, 0, "load_feature_root cannot cast root feature");
    xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root exit (false, cannot cast root feature)");
    return false;
  }
  if (!root->TargetSw(nullptr, nullptr)) {
    if (LastError::get().code == Velo10Error1) {
      {
        std::lock_guard lock(featureTableMutex_);
        rootState_ = 1;
      }
      LastError::set(NotVelo20);
      xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root exit (false, not Velo 2.0 device)");
    } else {
      xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root exit (false, error)");
    }
    return false;
  }
  {
    std::lock_guard lock(featureTableMutex_);
    rootState_ = 2;
    featureTable_[0] = feature;
  }
  xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root success, now need a ping");
  needPing_ = true;

  if (!load_fwinfo(cacheWasFilled)) {
    xLog(kTag, LogInfo, FN(load_feature_root), "load_feature_root failing (load_fwinfo failed)");
    return false;
  }
  xLog(kTag, LogInfo, FN(load_feature_root), "Device::load_feature_root exit (true, success)");
  return true;
}

std::shared_ptr<IFeature> Device::load_feature(unsigned id, bool cacheable) {
  xLog(kTag, LogInfo, FN(load_feature), "Device::load_feature(0x%04x)", id);
  if (!load_feature_root(false)) return nullptr;
  std::shared_ptr<IFeature> rootFeature;
  {
    std::lock_guard lock(featureTableMutex_);
    if (auto it = featureTable_.find(0); it != featureTable_.end()) rootFeature = it->second;
  }
  auto root = std::dynamic_pointer_cast<IFeature0000Root>(rootFeature);
  if (!root) {
    LastError::set(GeneralError, 0, "load_feature cannot cast root feature");
    return nullptr;
  }
  if (id == RootId) return rootFeature;

  int index = 0;
  bool obsolete = false;
  bool hidden = false;
  bool engineering = false;
  int version = 0;
  if (!root->GetFeature(id, &index, &obsolete, &hidden, &engineering, &version, cacheable)) return nullptr;
  if (index == 0) {
    LastError::set(NotPresent);
    return nullptr;
  }
  return keepFeature(index, makeFeature(id, index, obsolete, hidden, engineering, version));
}

bool Device::load_features() {
  xLog(kTag, LogInfo, FN(load_features), "Device::load_features()");
  if (!load_feature_root(false)) {
    xLog(kTag, LogInfo, FN(load_features), "Device::load_features fail (load_feature_root fail)");
    return false;
  }
  {
    std::lock_guard lock(featureTableMutex_);
    if (allFeaturesLoaded_) {
      xLog(kTag, LogInfo, FN(load_features), "Device::load_features success (all_features_loaded)");
      return true;
    }
  }
  auto featureSet = feature_as<IFeature0001FeatureSet>(FeatureSetId);
  if (!featureSet) {
    xLog(kTag, LogInfo, FN(load_features), "Device::load_features fail (no IFeature0001FeatureSet)");
    return false;
  }
  int count = 0;
  if (!featureSet->GetCount(&count)) {
    xLog(kTag, LogInfo, FN(load_features), "Device::load_features fail (no featureSet->GetCount)");
    return false;
  }
  for (int i = FirstEnumeratedIndex; i <= count; ++i) {
    unsigned id = 0;
    bool engineering = false;
    bool hidden = false;
    bool obsolete = false;
    int version = 0;
    if (!featureSet->GetFeatureID(i, &id, &engineering, &hidden, &obsolete, &version)) {
      xLog(kTag, LogInfo, FN(load_features), "Device::load_features fail (no featureSet->GetFeatureID %d)", i);
      return false;
    }
    keepFeature(i, makeFeature(id, i, obsolete, hidden, engineering, version));
  }
  {
    std::lock_guard lock(featureTableMutex_);
    allFeaturesLoaded_ = true;
  }
  xLog(kTag, LogInfo, FN(load_features), "Device::load_features success (%d features)", count);
  return true;
}

std::shared_ptr<IFeature> Device::feature_by_id(unsigned id) {
  xLog(kTag, LogInfo, FN(feature_by_id), "Device::feature_by_id(0x%04x)", id);
  {
    std::lock_guard lock(featureTableMutex_);
    std::shared_ptr<IFeature> found;
    for (const auto& [index, feature] : featureTable_) {
      if (feature->id() == id) found = feature;
    }
    if (found) return found;
    if (allFeaturesLoaded_) {
      LastError::set(NotPresent);
      return nullptr;
    }
  }
  return load_feature(id, true);
}

std::vector<std::shared_ptr<IFeature>> Device::features() {
  xLog(kTag, LogInfo, FN(features), "Device::features");
  if (!load_features()) return {};
  std::vector<std::shared_ptr<IFeature>> list;
  {
    std::lock_guard lock(featureTableMutex_);
    for (const auto& [index, feature] : featureTable_) list.push_back(feature);
  }
  if (list.empty()) LastError::set(Success);
  return list;
}

void Device::forget() {
  xLog(kTag, LogInfo, FN(forget), "Device::forget() enter");
  {
    std::lock_guard lock(featureTableMutex_);
    std::erase_if(featureTable_, [](const auto& entry) { return entry.first != 0; });
    rootState_ = 0;
    allFeaturesLoaded_ = false;
    mainEntity_ = 0;
  }
  if (configured()) produceConfigChange();
  {
    std::lock_guard lock(featureListsMutex_);
    configuredFeatures_.clear();
    pendingFeatures_.clear();
  }
  {
    std::lock_guard lock(commandMutex_);
    commandCache_.clear();
  }
  xLog(kTag, LogInfo, FN(forget), "Device::forget() exit");
}

// ---- Firmware identity ----

std::string Device::read_fwinfo(bool cached) {
  xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo enter, cached=%d", cached);
  auto info = feature_as<IFeature0003FirmwareInfo>(FirmwareInfoId);
  if (!info) {
    if (LastError::get().code == NotPresent) {
      xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo returning NotPresent");
      return NoFirmwareInfo;
    }
    xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo returning error=%d", LastError::get().code);
    return "";
  }

  std::string result;
  int fwType = 0;
  int rdnf = 0;
  std::string prefix;
  std::string version;
  std::string build;
  if (std::dynamic_pointer_cast<IFeature>(info)->version() != 0) {
    int count = 0;
    int unitId = 0;
    if (!info->GetEntityCount(&count, &unitId, nullptr, nullptr, nullptr, nullptr, nullptr, cached)) {
      xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo returning error=%d", LastError::get().code);
      return "";
    }
    int mainEntity = 0;
    {
      std::lock_guard lock(featureTableMutex_);
      mainEntity = mainEntity_;
    }
    // The entity found active last time is asked first: usually the only request needed.
    std::vector<int> order;
    if (mainEntity < count) order.push_back(mainEntity);
    for (int entity = 0; entity < count; ++entity) {
      if (entity != mainEntity) order.push_back(entity);
    }
    for (int entity : order) {
      if (info->GetFwInfo(entity, &fwType, &prefix, &version, &build, &rdnf, nullptr, cached) &&
          (rdnf & ActiveEntityFlag)) {
        result = identity(fwType, prefix, version, build, static_cast<unsigned>(unitId));
        std::lock_guard lock(featureTableMutex_);
        mainEntity_ = entity;
        break;
      }
    }
  }
  if (result.empty()) {
    if (!info->GetFwInfo(0, &fwType, &prefix, &version, &build, &rdnf, nullptr, cached)) {
      xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo returning error=%d", LastError::get().code);
      return "";
    }
    result = identity(fwType, prefix, version, build, std::nullopt);
  }
  xLog(kTag, LogInfo, FN(read_fwinfo), "read_fwinfo returning %s", result.c_str());
  return result;
}

bool Device::load_fwinfo(bool cache_was_filled) {
  {
    std::lock_guard lock(featureTableMutex_);
    if (!fwInfo_.empty()) return true;
  }
  std::string info = read_fwinfo(true);
  if (info.empty()) return false;
  {
    std::lock_guard lock(featureTableMutex_);
    fwInfo_ = std::move(info);
  }
  // The identity may have come from the cache: the device itself must confirm it.
  if (cache_was_filled) needFwCheck_ = true;
  if (!connected()) return true;
  if (!do_fwcheck()) {
    xLog(kTag, LogInfo, FN(load_fwinfo), "load_fwinfo failing (do_fwcheck failed)");
    return false;
  }
  return true;
}

bool Device::do_fwcheck() {
  xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck entry");
  std::string previous;
  {
    std::lock_guard lock(featureTableMutex_);
    if (fwInfo_.empty()) {
      xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, true, skipping check due to initial fwinfo not read yet");
      return true;
    }
    if (fwCheckRunning_) {
      xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, true, skipping check due to being recursively called");
      return true;
    }
    fwCheckRunning_ = true;
    previous = fwInfo_;
  }
  auto endCheck = [this] {
    std::lock_guard lock(featureTableMutex_);
    fwCheckRunning_ = false;
  };

  std::string current = read_fwinfo(false);
  if (current.empty()) {
    xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck error reading fw info, err=%d", LastError::get().code);
    if (!load_feature(FirmwareInfoId, false)) {
      xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, false, error loading 0x0003 feature, err=%d",
           LastError::get().code);
      endCheck();
      return false;
    }
    current = read_fwinfo(false);
  }
  endCheck();
  if (current.empty()) {
    xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, false, error reading fw info, err=%d", LastError::get().code);
    return false;
  }
  needFwCheck_ = false;
  if (current == previous) {
    xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, true, fw version matched (%s)", current.c_str());
    return true;
  }

  xLog(kTag, LogInfo, FN(do_fwcheck), "do_fwcheck exit, false, FwVersionChanged (old=%s new=%s)", previous.c_str(),
       current.c_str());
  forget();
  {
    std::lock_guard lock(featureTableMutex_);
    fwInfo_.clear();
  }
  {
    std::lock_guard lock(commandMutex_);
    cacheDirty_ = true;
  }
  std::shared_ptr<IDevice> self = shared_from_this();
  Producer<IDevice::Connect>::produce([self](IDevice::Connect* s) { s->onFirmwareChanged(self); },
                                      "Device::Connect::onFirmwareChanged");
  LastError::set(FwVersionChanged);
  return false;
}

// ---- Persistent cache ----

std::string Device::cacheFilePath(const std::string& directory) {
  return directory.empty() ? "" : directory + CommandCacheFile::fileName(pid(), path());
}

void Device::persistent_data_directory(std::string dir) {
  xLog(kTag, LogInfo, FN(persistent_data_directory), "Device::persistent_data_directory(%s)", dir.c_str());
  if (dir.empty()) return;
  {
    std::lock_guard lock(featureTableMutex_);
    persistentDirectory_ = std::move(dir);
  }
  perform_cache_read();
}

void Device::perform_cache_read() {
  std::string directory;
  std::string fwInfo;
  {
    std::lock_guard lock(featureTableMutex_);
    directory = persistentDirectory_;
    fwInfo = fwInfo_;
  }
  xLog(kTag, LogInfo, FN(perform_cache_read), "Device::perform_cache_read enter persistent_path=%s", directory.c_str());
  if (directory.empty()) {
    xLog(kTag, LogInfo, FN(perform_cache_read), "data cache dir is empty");
    return;
  }
  const std::string file = cacheFilePath(directory);
  xLog(kTag, LogInfo, FN(perform_cache_read), "Device::perform_cache_read reading file %s", file.c_str());
  std::optional<CommandCacheFile::Contents> contents = CommandCacheFile::read(file);
  if (!contents) {
    xLog(kTag, LogInfo, FN(perform_cache_read), "Device::perform_cache_read file does not exist");
    return;
  }

  std::lock_guard lock(commandMutex_);
  if (!contents->hasCache || contents->fw.empty()) {
    // Damaged (not well-formed, truncated, no identity): the next write replaces it. Answers
    // without a firmware identity could be another firmware's, so none is used.
    xLog(kTag, LogWarning, FN(perform_cache_read), "Device::perform_cache_read file is damaged, it will be rewritten");
    cacheDirty_ = true;
    return;
  }
  if (!fwInfo.empty() && fwInfo != contents->fw) {
    xLog(kTag, LogInfo, FN(perform_cache_read), "cache is incorrect version (%s != %s)... invalidating",
         contents->fw.c_str(), fwInfo.c_str());
    cacheDirty_ = true;
    return;
  }
  for (auto& [cmd, rsp] : contents->entries) {
    if (!usableEntry(cmd, rsp)) {
      // An answer shorter than a report cannot be handed out; drop it and rewrite the file.
      cacheDirty_ = true;
      continue;
    }
    commandCache_.emplace(std::move(cmd), std::move(rsp));
  }
  xLog(kTag, LogInfo, FN(perform_cache_read), "Device::perform_cache_read exit");
}

void Device::perform_cache_write() {
  std::map<Bytes, Bytes> entries;
  {
    std::lock_guard lock(commandMutex_);
    cacheDirty_ = false;
    entries = commandCache_;
  }
  std::string fwInfo;
  std::string directory;
  {
    std::lock_guard lock(featureTableMutex_);
    fwInfo = fwInfo_;
    directory = persistentDirectory_;
  }
  const std::string file = cacheFilePath(directory);
  if (file.empty()) {
    xLog(kTag, LogInfo, FN(perform_cache_write), "perform_cache_write: feature cache path is empty");
    return;
  }
  if (fwInfo.empty()) {
    xLog(kTag, LogInfo, FN(perform_cache_write), "perform_cache_write: fwinfo is empty");
    return;
  }
  if (!CommandCacheFile::write(file, fwInfo, path(), entries)) {
    // Kept dirty so that a later write (at the latest the destructor's) tries again.
    xLog(kTag, LogError, FN(perform_cache_write), "could not write feature cache to file %s", file.c_str());
    std::lock_guard lock(commandMutex_);
    cacheDirty_ = true;
    return;
  }
  xLog(kTag, LogInfo, FN(perform_cache_write), "wrote feature cache to file %s", file.c_str());
}

}  // namespace devio
