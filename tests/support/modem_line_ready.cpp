#include "tests/support/modem_line_ready.h"

#include <string>

#include "platform/messages/clock.h"
#include "tests/support/modem_simulator.h"

namespace vltg::testing {

bool LineSetUpSeen(const ModemSimulator& modem, size_t commands_before) {
  const auto commands = modem.Commands();
  for (size_t i = commands_before; i < commands.size(); ++i) {
    if (commands[i].find("S0=0") != std::string::npos) return true;
  }
  return false;
}

bool WaitForLineReady(const ModemSimulator& modem, size_t commands_before, int64_t settle_ms, int64_t wait_ms) {
  size_t last = 0;
  int64_t quiet_since = -1;
  return modem.WaitUntil(
      [&] {
        const size_t count = modem.Commands().size();
        const int64_t now = platform::NowMs();
        if (count != last || quiet_since < 0) {
          last = count;
          quiet_since = now;
        }
        return now - quiet_since >= settle_ms && LineSetUpSeen(modem, commands_before);
      },
      wait_ms);
}

}  // namespace vltg::testing
