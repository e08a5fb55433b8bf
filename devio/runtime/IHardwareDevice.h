#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "devio/protocol/Byte.h"
#include "devio/protocol/ErrorCode.h"

namespace devio {

class IHardwareBus;

// One report channel to one device. Implementations also derive Producer<Read>, Producer<Write>
// and Producer<Connect>; subscribing to Read is what starts reading on transports that read on
// demand. After the device was unplugged every operation fails.
//
// A channel may be released on any thread, its own read thread included (a Read handler that
// drops the last reference): it then ends reading once the handler has returned and never joins
// the thread it is destroyed on. A channel's read thread is marked as a WorkerThread.
class IHardwareDevice {
 public:
  class Connect {
   public:
    virtual void onConnect(std::shared_ptr<IHardwareDevice>) {}
    virtual void onDisconnect(std::shared_ptr<IHardwareDevice>) {}
    virtual ~Connect() = default;
  };
  class Read {
   public:
    // report is empty when reading failed; system_error 1167 means the device vanished.
    // index_is_self: byte 1 is to be read as 0xFF (reports a receiver forwards for a child).
    virtual void onRead(Bytes /*report*/, bool /*index_is_self*/, unsigned /*system_error*/, unsigned /*length*/) {}
    virtual ~Read() = default;
  };
  class Write {
   public:
    // Exactly one per write() call, also for a failed one; report as written (after padding).
    virtual void onWrite(Bytes /*report*/, ErrorCode /*error*/, unsigned /*system_error*/) {}
    virtual ~Write() = default;
  };

  virtual ~IHardwareDevice() = default;
  virtual bool connected() = 0;
  // Acquire the system resources; idempotent.
  virtual bool open() = 0;
  // Release them; safe when not open.
  virtual void close() = 0;
  // Never throws; false leaves the thread's LastError. A synchronous write (the caller will block
  // for the answer) is refused on the thread that delivers Read events and before reading runs.
  virtual bool write(Bytes report, bool synchronous) = 0;
  virtual std::weak_ptr<IHardwareBus> bus() = 0;
  virtual std::string path() = 0;
  virtual std::uint16_t pid() = 0;
  virtual std::string name() = 0;
  virtual int receiver_activity() { return 0; }
  // 0 host HID, 1 behind a receiver, 2 Bluetooth classic, 3 Bluetooth LE, 4 Bluetooth LE via GATT.
  virtual int bus_type() { return 0; }
  virtual int link_index() { return 0; }
  virtual void before_synchronous_command() {}
  virtual int timeout_ms() { return 3000; }
  virtual int response_cookie() { return 0; }
  virtual void response_received(int /*cookie*/) {}
  virtual int receiver_status() { return 0; }
  // Asked after a command timed out; false means the device is gone. Never writes to the device.
  virtual bool verify_connection_following_timeout() { return true; }
  virtual std::string physical_id() { return path(); }
  virtual int report_types() { return 2; }
  virtual int device_report_types() { return 2; }
  virtual int report_length() { return 20; }
};

}  // namespace devio
