#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "devio/protocol/Byte.h"
#include "devio/protocol/IFeature.h"
#include "devio/runtime/Producer.h"

namespace devio {

// Base of every feature object: what the device's feature table knows about the feature, its
// requests (framed and checked here), the device's notifications and other programs' responses
// carried to subscribers and to the specific class, and the two steps a feature takes before it
// changes a setting (taking ownership of the device's configuration, queuing a change while the
// device is away). Always owned by shared_ptr; holds its device weakly.
//
// Use by the device object:
//   - after createFeature (FeatureRegistry.h) store the table flags with set_table_flags,
//     before the object is shared with other threads;
//   - from the channel's read thread call deliverFeatureReport (a notification, software id 0) and
//     deliverUnexpectedResponse (a response that completed no request of this host);
//   - replay: set_replaying(true), process_pending_changes(configured), clear_pending() when that
//     returned true, set_replaying(false);
//   - clear_configured() when the configuration is lost or given up.
class Feature : public IFeature,
                public Producer<IFeature::FeatureReport>,
                public std::enable_shared_from_this<Feature> {
 public:
  Feature(unsigned id, int index, std::weak_ptr<IDevice> device);

  unsigned id() override;
  // Writes the request without waiting for an answer.
  bool sendFeatureCommandNoResponse(int function, const Bytes& params) override;
  // One exchange through the device's command engine; payload receives bytes 4..end of the answer
  // and is left untouched on failure.
  bool sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable) override;
  // As above; match lists payload positions the answer must echo from the request.
  bool sendFeatureCommand(int function, const Bytes& params, Bytes& payload, bool cacheable,
                          std::vector<int> match) override;
  bool is_configured() override;
  bool is_pending() override;
  std::shared_ptr<IDevice> device() override;
  bool obsolete() override;
  bool hidden() override;
  bool engineering() override;
  int index() override;
  int version() override;
  std::shared_ptr<IFeature> self() override;

  // Hooks for specific classes. Replays the changes queued while the device was away; true
  // when all were written.
  virtual bool process_pending_changes(bool device_configured);
  // A notification of the device for this feature; runs on the channel's read thread.
  virtual void onFeatureReport(int function, const Bytes& payload);
  // Another program's response to this feature; runs on the channel's read thread.
  virtual void onUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload);

  // Entries of the device's read handler: produce the FeatureReport event, then call the hook.
  void deliverFeatureReport(int function, const Bytes& payload);
  void deliverUnexpectedResponse(unsigned function, unsigned swid, const Bytes& payload);

  // Called before a change of a setting: makes this host the owner of the device's
  // configuration. Asks the device until it has accepted once.
  bool set_configured();
  // Queues this feature for replay on the next connect; fails with PendingDuringReplay while
  // the device replays it. Asks the device until it has accepted once.
  bool set_pending();

  // Operations of the device object (see the class comment).
  void set_table_flags(bool obsolete, bool hidden, bool engineering, int version);
  void clear_configured();
  void clear_pending();
  void set_replaying(bool replaying);

 protected:
  // Big-endian values in a payload whose length the caller has checked.
  static unsigned bigEndian16(const Bytes& payload, std::size_t offset);
  static unsigned bigEndian32(const Bytes& payload, std::size_t offset);
  static int signed16(const Bytes& payload, std::size_t offset);
  // count big-endian 16-bit values from the payload's start.
  static std::vector<unsigned> bigEndian16List(const Bytes& payload, std::size_t count);
  // The bytes of a value as requests carry it, high byte first.
  static Byte highByte(unsigned value) { return static_cast<Byte>(value >> 8); }
  static Byte lowByte(unsigned value) { return static_cast<Byte>(value); }

  // One query: an answer with fewer than minimum payload bytes fails with
  // CommandResponseTooShort. payload is left untouched on failure.
  bool query(int function, const Bytes& params, std::size_t minimum, Bytes& payload, bool cacheable = false);
  // An uncached request whose answer carries nothing the caller needs.
  bool command(int function, const Bytes& params);
  // The change of a persistent setting, logged under operation ("devio::Class::Operation"):
  // takes ownership of the device's configuration first, then sends.
  bool change(const char* operation, int function, const Bytes& params);
  // set_configured, logging "set_configured failed" under operation when the device refuses.
  bool ensureConfigured(const char* operation);
  // Reads a text that the device hands out in pieces: function with params followed by the
  // offset, until length characters came; a piece ends at its first zero byte. An empty piece
  // fails with EmptyResponseData.
  bool readText(int function, const Bytes& params, std::size_t length, std::string* text, bool cacheable = false);
  // Logs another application's response under operation; true when it answers settingFunction
  // with at least minimum payload bytes, so that the member reports the new setting.
  static bool changedElsewhere(const char* operation, unsigned function, unsigned swid, const Bytes& payload,
                               unsigned settingFunction, std::size_t minimum);

  // Produces handler(args...) of the member's event E (the member derives Producer<E>) under
  // name. The arguments are captured by value: run-loop subscribers run the call later.
  template <class E, class... Parameters, class... Args>
  void fire(const char* name, void (E::*handler)(Parameters...), Args... args) {
    dynamic_cast<Producer<E>&>(*this).produce([handler, args...](E* s) { (s->*handler)(args...); }, name);
  }

  // Stores a result through an output pointer that may be null.
  template <class T, class V>
  static void store(T* out, const V& value) {
    if (out) *out = static_cast<T>(value);
  }

 private:
  // The device, or empty with LastError DeviceRemoved.
  std::shared_ptr<IDevice> lockDevice();

  // Table flags: written by discovery before the object is shared.
  bool obsolete_ = false;
  bool hidden_ = false;
  bool engineering_ = false;
  int version_ = 0;
  const unsigned id_;
  const Byte index_;
  const std::weak_ptr<IDevice> device_;
  std::atomic<bool> configured_{false};
  std::atomic<bool> pending_{false};
  std::atomic<bool> replaying_{false};
};

}  // namespace devio
