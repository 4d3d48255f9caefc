#include "platform/telephony/device_config.h"

#include <algorithm>

namespace vltg::platform {
namespace {

constexpr char kMagic[] = "VLMC";
constexpr uint16_t kVersion = 1;
constexpr size_t kCommandAt = 18;

constexpr uint8_t kFlowRtsCts = 0x1;
constexpr uint8_t kFlowXonXoff = 0x2;
constexpr uint8_t kOptionWatchCarrier = 0x1;

void Put(std::string& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint32_t Get(std::string_view in, size_t at, int bytes) {
  uint32_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= uint32_t{static_cast<uint8_t>(in[at + i])} << (8 * i);
  return value;
}

bool Printable(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

SerialSettings DeviceConfig::Serial() const {
  SerialSettings settings;
  settings.baud = speed;
  settings.data_bits = data_bits;
  settings.parity = parity;
  settings.stop_bits = stop_bits;
  settings.rts_cts = rts_cts;
  settings.xon_xoff = xon_xoff;
  return settings;
}

std::string CheckDeviceConfig(const DeviceConfig& config) {
  if (std::find(std::begin(kDeviceSpeeds), std::end(kDeviceSpeeds), config.speed) == std::end(kDeviceSpeeds)) {
    return "unsupported speed " + std::to_string(config.speed);
  }
  if (config.data_bits < 5 || config.data_bits > 8) return "data bits must be 5 to 8";
  if (static_cast<int>(config.parity) > static_cast<int>(SerialParity::kSpace)) return "unknown parity";
  if (static_cast<int>(config.stop_bits) > static_cast<int>(SerialStopBits::kTwo)) return "unknown stop bits";
  if (config.init_command.size() > kMaxInitCommand) return "initialisation command longer than 60 characters";
  if (!Printable(config.init_command)) return "initialisation command with control characters";
  return {};
}

std::string EncodeDeviceConfig(const DeviceConfig& config) {
  std::string out(kMagic, 4);
  Put(out, kVersion, 2);
  Put(out, static_cast<uint32_t>(kDeviceConfigSize), 2);
  Put(out, config.speed, 4);
  Put(out, static_cast<uint32_t>(config.data_bits), 1);
  Put(out, static_cast<uint32_t>(config.parity), 1);
  Put(out, static_cast<uint32_t>(config.stop_bits), 1);
  Put(out, (config.rts_cts ? kFlowRtsCts : 0) | (config.xon_xoff ? kFlowXonXoff : 0), 1);
  Put(out, config.watch_carrier ? kOptionWatchCarrier : 0, 1);
  // A command too long for the field is cut (CheckDeviceConfig refuses it).
  const std::string command = config.init_command.substr(0, kMaxInitCommand);
  Put(out, static_cast<uint32_t>(command.size()), 1);
  out += command;
  out.resize(kDeviceConfigSize, '\0');
  return out;
}

std::optional<DeviceConfig> DecodeDeviceConfig(std::string_view block) {
  if (block.size() != kDeviceConfigSize || block.substr(0, 4) != std::string_view(kMagic, 4)) return std::nullopt;
  if (Get(block, 4, 2) != kVersion || Get(block, 6, 2) != block.size()) return std::nullopt;
  const uint32_t parity = Get(block, 13, 1), stop_bits = Get(block, 14, 1);
  const uint32_t flow = Get(block, 15, 1), options = Get(block, 16, 1), init_size = Get(block, 17, 1);
  if (parity > 4 || stop_bits > 2 || (flow & ~uint32_t{kFlowRtsCts | kFlowXonXoff}) != 0 ||
      (options & ~uint32_t{kOptionWatchCarrier}) != 0 || init_size > kMaxInitCommand) {
    return std::nullopt;
  }
  const std::string_view padding = block.substr(kCommandAt + init_size);
  if (std::any_of(padding.begin(), padding.end(), [](char c) { return c != '\0'; })) return std::nullopt;
  DeviceConfig config;
  config.speed = Get(block, 8, 4);
  config.data_bits = static_cast<int>(Get(block, 12, 1));
  config.parity = static_cast<SerialParity>(parity);
  config.stop_bits = static_cast<SerialStopBits>(stop_bits);
  config.rts_cts = (flow & kFlowRtsCts) != 0;
  config.xon_xoff = (flow & kFlowXonXoff) != 0;
  config.watch_carrier = (options & kOptionWatchCarrier) != 0;
  config.init_command = std::string(block.substr(kCommandAt, init_size));
  if (!CheckDeviceConfig(config).empty()) return std::nullopt;
  return config;
}

}  // namespace vltg::platform
