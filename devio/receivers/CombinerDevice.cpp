#include "devio/receivers/CombinerDevice.h"

#include "devio/protocol/LastError.h"
#include "devio/runtime/Delivery.h"
#include "devio/runtime/XLog.h"

#define FN(name) "devio::CombinerDevice::" #name

namespace devio {

namespace {
constexpr const char* kTag = "CombinerDevice";
}

CombinerDevice::CombinerDevice(std::weak_ptr<IHardwareBus> bus, const std::shared_ptr<IHardwareDevice>& firstPiece)
    : bus_(std::move(bus)),
      needed_(firstPiece->device_report_types()),
      physicalId_(firstPiece->physical_id()),
      pid_(firstPiece->pid()),
      name_(firstPiece->name()) {
  pieces_.emplace(firstPiece->report_types(), firstPiece);
}

CombinerDevice::~CombinerDevice() {
  std::lock_guard lock(mutex_);
  for (const auto& entry : pieces_) {
    Subscriber<IHardwareDevice::Read>::unsubscribe(entry.second);
    Subscriber<IHardwareDevice::Write>::unsubscribe(entry.second);
  }
}

std::map<int, std::shared_ptr<IHardwareDevice>> CombinerDevice::piecesCopy() {
  std::lock_guard lock(mutex_);
  return pieces_;
}

bool CombinerDevice::open() {
  for (const auto& [types, piece] : piecesCopy()) {
    if (!piece->open()) {
      xLog(kTag, LogDebug, FN(open), "CombinerDevice::open exit (false, could not open a piece of device)");
      return false;
    }
  }
  return true;
}

void CombinerDevice::close() {
  for (const auto& [types, piece] : piecesCopy()) piece->close();
}

bool CombinerDevice::write(Bytes report, bool synchronous) {
  if (synchronous && !open()) {
    xLog(kTag, LogDebug, FN(write), "CombinerDevice::write open failed");
    return false;
  }
  for (const auto& [types, piece] : piecesCopy()) {
    if (static_cast<std::size_t>(piece->report_length()) < report.size()) continue;
    if (piece->write(std::move(report), synchronous)) {
      xLog(kTag, LogVerbose, FN(write), "CombinerDevice::write exit (true, wrote to device)");
      return true;
    }
    xLog(kTag, LogDebug, FN(write), "CombinerDevice::write exit (false, failed to write to device)");
    return false;
  }
  LastError::set(WriteExceedsCollectionSize);
  xLog(kTag, LogDebug, FN(write), "CombinerDevice::write exit (false, failed to write to device)");
  return false;
}

bool CombinerDevice::verify_connection_following_timeout() {
  for (const auto& [types, piece] : piecesCopy()) {
    if (!piece->verify_connection_following_timeout()) {
      xLog(kTag, LogDebug, FN(verify_connection_following_timeout),
           "CombinerDevice::verify_connection_following_timeout() returning false");
      return false;
    }
  }
  return true;
}

bool CombinerDevice::whole() {
  int got = 0;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [types, piece] : pieces_) got |= types;
  }
  const bool isWhole = needed_ == (got & needed_);
  xLog(kTag, LogVerbose, FN(whole), "CombinerDevice::whole = %d (need %d, got %d)", isWhole ? 1 : 0, needed_, got);
  return isWhole;
}

bool CombinerDevice::subscribePieceLocked(const std::shared_ptr<IHardwareDevice>& piece) {
  bool ok = true;
  if (readers_ > 0) {
    xLog(kTag, LogDebug, FN(add_piece), "CombinerDevice::add_piece reading, so subscribing to new piece");
    ok = Subscriber<IHardwareDevice::Read>::subscribe(piece, Direct);
  }
  if (writeLoggers_ > 0) {
    xLog(kTag, LogDebug, FN(add_piece), "CombinerDevice::add_piece logging writes, so subscribing to new piece");
    ok = Subscriber<IHardwareDevice::Write>::subscribe(piece, Direct) && ok;
  }
  return ok;
}

bool CombinerDevice::add_piece(const std::shared_ptr<IHardwareDevice>& piece) {
  std::lock_guard lock(mutex_);
  if (pieces_.contains(piece->report_types())) {
    xLog(kTag, LogDebug, FN(add_piece), "CombinerDevice::add_piece keeping existing piece");
    return true;
  }
  pieces_.emplace(piece->report_types(), piece);
  return subscribePieceLocked(piece);
}

bool CombinerDevice::remove_piece(const std::shared_ptr<IHardwareDevice>& piece) {
  const std::string path = piece->path();
  std::lock_guard lock(mutex_);
  for (auto it = pieces_.begin(); it != pieces_.end(); ++it) {
    if (it->second->path() != path) continue;
    Subscriber<IHardwareDevice::Read>::unsubscribe(it->second);
    Subscriber<IHardwareDevice::Write>::unsubscribe(it->second);
    pieces_.erase(it);
    break;
  }
  xLog(kTag, LogDebug, FN(remove_piece), "CombinerDevice::remove_piece exit, is_empty=%d", pieces_.empty() ? 1 : 0);
  return pieces_.empty();
}

// The first subscriber of an event subscribes this device to that event of every piece; the last
// one leaving ends those subscriptions.
template <class E>
bool CombinerDevice::firstSubscriber(int& count, const char* failure) {
  std::lock_guard lock(mutex_);
  if (count++ > 0) return true;
  for (const auto& entry : pieces_) {
    if (!Subscriber<E>::subscribe(entry.second, Direct)) {
      xLog(kTag, LogDebug, FN(on_subscribe), "%s", failure);
      for (const auto& subscribed : pieces_) Subscriber<E>::unsubscribe(subscribed.second);
      --count;
      return false;
    }
  }
  return true;
}

template <class E>
void CombinerDevice::subscriberLeft(int& count) {
  std::lock_guard lock(mutex_);
  if (--count > 0) {
    xLog(kTag, LogDebug, FN(on_unsubscribe), "CombinerDevice::on_unsubscribe exit, still subscribers remaining");
    return;
  }
  for (const auto& entry : pieces_) Subscriber<E>::unsubscribe(entry.second);
}

bool CombinerDevice::on_subscribe(IHardwareDevice::Read*) {
  return firstSubscriber<IHardwareDevice::Read>(
      readers_, "CombinerDevice::on_subscribe exit (false, could not subscribe to read a piece)");
}

void CombinerDevice::on_unsubscribe(IHardwareDevice::Read*) { subscriberLeft<IHardwareDevice::Read>(readers_); }

bool CombinerDevice::on_subscribe(IHardwareDevice::Write*) {
  return firstSubscriber<IHardwareDevice::Write>(
      writeLoggers_, "CombinerDevice::on_subscribe exit (false, could not subscribe to writes from a piece)");
}

void CombinerDevice::on_unsubscribe(IHardwareDevice::Write*) { subscriberLeft<IHardwareDevice::Write>(writeLoggers_); }

void CombinerDevice::onRead(Bytes report, bool index_is_self, unsigned system_error, unsigned length) {
  xLog(kTag, LogVerbose, FN(onRead), "CombinerDevice::onRead producing read event");
  Producer<IHardwareDevice::Read>::produce(
      [report, index_is_self, system_error, length](IHardwareDevice::Read* s) { s->onRead(report, index_is_self, system_error, length); },
      "CombinerDevice::Read::onRead");
}

void CombinerDevice::onWrite(Bytes report, ErrorCode error, unsigned system_error) {
  Producer<IHardwareDevice::Write>::produce([report, error, system_error](IHardwareDevice::Write* s) { s->onWrite(report, error, system_error); },
                           "CombinerDevice::Write::onWrite");
}

}  // namespace devio
