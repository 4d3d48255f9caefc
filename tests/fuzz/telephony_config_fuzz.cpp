// telephony.ini and device configuration blocks come from outside (an edited
// file, a block set by a program or a modem configuration file): any bytes
// give lines and blocks that are whole and usable, or a refusal with a reason.
// Input: a mode byte (even: telephony.ini text, odd: a device block), then the
// bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/ascii_text.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/telephony_ini.h"
#include "tests/support/fuzz_check.h"

using namespace vltg::platform;
using vltg::testing::FuzzCheck;

namespace {

// A usable configuration goes into a block and comes back the same.
void CheckUsable(const DeviceConfig& config) {
  FuzzCheck(CheckDeviceConfig(config).empty());
  const std::string block = EncodeDeviceConfig(config);
  FuzzCheck(block.size() == kDeviceConfigSize);
  FuzzCheck(DecodeDeviceConfig(block) == config);
}

void CheckIni(std::string_view text) {
  const auto lines = ParseTelephonyLines(text);
  for (size_t i = 0; i < lines.size(); ++i) {
    const TelephonyLine& line = lines[i];
    for (size_t j = 0; j < i; ++j) FuzzCheck(!EqualsIgnoreCase(lines[j].name, line.name));
    if (line.error.empty()) {
      FuzzCheck(!line.device.empty());
      CheckUsable(line.config);
    }
  }
}

void CheckBlock(std::string_view block) {
  const auto config = DecodeDeviceConfig(block);
  if (!config) return;
  CheckUsable(*config);
  // Only the provider's own layout is taken, so the block is what it writes.
  FuzzCheck(EncodeDeviceConfig(*config) == block);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  if (data[0] & 1) {
    CheckBlock(bytes);
  } else {
    CheckIni(bytes);
  }
  return 0;
}
