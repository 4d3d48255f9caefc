#pragma once
// A line's device configuration and its block: the provider's own, versioned
// binary form, which lineGetDevConfig hands out and the modem configuration
// files (*.mcf) carry after their 24-byte header.
//
// Block, version 1, 80 bytes whatever it holds (so room sized by one query
// fits every edit), numbers little-endian:
//   0  4  "VLMC"
//   4  2  version (1)
//   6  2  length of the whole block (80)
//   8  4  speed, bits per second (one of kDeviceSpeeds)
//  12  1  data bits, 5 to 8
//  13  1  parity: 0 none, 1 odd, 2 even, 3 mark, 4 space
//  14  1  stop bits: 0 one, 1 one and a half, 2 two
//  15  1  flow control: bit 0 RTS/CTS, bit 1 XON/XOFF
//  16  1  options: bit 0 carrier is watched during a call
//  17  1  length n of the extra initialisation command, at most 60
//  18 60  the command (printable ASCII), then zeros
//  78  2  zero
// A block is taken only when every field is one of these values; anything
// else (a block written by another provider) is refused.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/serial/serial_port.h"

namespace vltg::platform {

inline constexpr uint32_t kDeviceSpeeds[] = {110,   300,   600,   1200,  2400,  4800,  9600,
                                             14400, 19200, 38400, 56000, 57600, 115200};
inline constexpr size_t kMaxInitCommand = 60;
inline constexpr size_t kDeviceConfigSize = 80;

struct DeviceConfig {
  uint32_t speed = 9600;
  int data_bits = 8;
  SerialParity parity = SerialParity::kNone;
  SerialStopBits stop_bits = SerialStopBits::kOne;
  bool rts_cts = true;
  bool xon_xoff = false;
  // Sent after the standard initialisation ("AT" is put in front when missing).
  std::string init_command;
  bool watch_carrier = true;

  bool operator==(const DeviceConfig&) const = default;

  SerialSettings Serial() const;
};

// Why the configuration cannot be used; empty when it can.
std::string CheckDeviceConfig(const DeviceConfig& config);

std::string EncodeDeviceConfig(const DeviceConfig& config);
// Nothing for a block that is not a valid version 1 block.
std::optional<DeviceConfig> DecodeDeviceConfig(std::string_view block);

}  // namespace vltg::platform
