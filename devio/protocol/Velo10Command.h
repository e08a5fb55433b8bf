#pragma once

#include <string>

#include "devio/protocol/IDevice.h"

// Velo 1.0 register commands a receiver answers about its pairings, sent with the receiver's
// synchronous command. A null receiver fails with Velo10Error11 and the operation's message;
// an answer shorter than the register needs fails with CommandResponseTooShort.
namespace devio::Velo10Command {

// Register 0x02 set to 02 00 00: the receiver replays an arrival for every paired device
// before it answers.
bool set_receiver_connection_state(IDevice* receiver);
// Register 0x02: *count = number of paired devices (answer byte 5), *extra = answer byte 6.
bool read_receiver_connection_state(IDevice* receiver, int* count, int* extra);
// Long register 0xB5, pairing information 0x40 + slot: the paired device's name.
bool read_receiver_paired_device_name(IDevice* receiver, int slot, std::string* name);

}  // namespace devio::Velo10Command
