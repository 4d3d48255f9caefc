// Whatever a modem (or a device that is not one) answers, and whenever the
// line answers, drops or loses the carrier, the provider's modem machine
// sends only its own commands, reports a call's events in a sane order and
// never leaves a deadline behind it.
// Input: an option byte (bit 0: the port has DTR, bit 1: a line command of
// its own), then the modem's bytes; 0xFF and the next byte are the line's
// doing instead: 'a' answer, 'd' drop, 'c' carrier lost, 'l' device lost,
// 'w' writes fail from now on, 't' time runs to the deadline, anything else
// that many 100 ms pass. Between two bursts of bytes 10 ms pass.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

#include "platform/telephony/hayes_modem.h"
#include "tests/support/fuzz_check.h"

using vltg::platform::HayesEvent;
using vltg::platform::HayesModem;
using vltg::platform::HayesReport;
using vltg::testing::FuzzCheck;

namespace {

// Checks each report against the call it belongs to.
class CheckedHost : public vltg::platform::HayesHost {
 public:
  explicit CheckedHost(bool has_dtr, std::set<std::string> commands)
      : has_dtr_(has_dtr), commands_(std::move(commands)) {}

  bool Write(std::string_view bytes) override {
    FuzzCheck(!failed_);
    FuzzCheck(bytes == "\r" || bytes == "+++" || commands_.count(std::string(bytes)) == 1);
    return writable;
  }
  bool SetDtr(bool) override { return has_dtr_; }
  void PurgeInput() override {}
  void Report(const HayesReport& report) override {
    FuzzCheck(!failed_);  // nothing after the machine failed
    switch (report.event) {
      case HayesEvent::kReady:
        FuzzCheck(!ready_ && !in_call_);
        ready_ = true;
        break;
      case HayesEvent::kOffering:
        FuzzCheck(ready_ && !in_call_);
        in_call_ = true;
        rings_ = 0;
        break;
      case HayesEvent::kRing:
        FuzzCheck(in_call_ && report.param == rings_++);
        break;
      case HayesEvent::kConnected:
        FuzzCheck(in_call_ && report.text.find_first_of("\r\n") == std::string::npos && report.text.size() < 256);
        break;
      case HayesEvent::kDisconnected:
        FuzzCheck(in_call_);
        break;
      case HayesEvent::kIdle:
        FuzzCheck(in_call_);
        in_call_ = false;
        break;
      case HayesEvent::kDropDone:  // answers every drop asked for so far
        FuzzCheck(drops_owed_ > 0);
        drops_owed_ = 0;
        break;
      case HayesEvent::kFailed:
        failed_ = true;
        break;
    }
  }

  bool writable = true;
  int drops_owed_ = 0;

 private:
  bool has_dtr_;
  std::set<std::string> commands_;
  bool ready_ = false;
  bool in_call_ = false;
  bool failed_ = false;
  uint32_t rings_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool has_dtr = data[0] & 1;
  const std::string own_command = data[0] & 2 ? "&K3" : "";
  CheckedHost host(has_dtr, {"ATZ\r", "ATE0V1Q0S0=0&C1&D2\r", "AT&K3\r", "ATA\r", "ATH0\r"});
  HayesModem modem(host, own_command);
  int64_t now = 0;
  modem.Start(now);

  auto tick = [&] {
    modem.Tick(now);
    FuzzCheck(modem.Deadline() > now);  // a passed deadline is never left standing
  };
  std::string burst;
  auto deliver = [&] {
    if (burst.empty()) return;
    modem.Received(burst, now);
    burst.clear();
    now += 10;
    tick();
  };
  for (size_t i = 1; i < size; ++i) {
    if (data[i] != 0xFF || i + 1 == size) {
      burst += static_cast<char>(data[i]);
      continue;
    }
    deliver();
    switch (const uint8_t op = data[++i]) {
      case 'a': modem.Answer(now); break;
      case 'd':  // owed first: a drop of an offered call is done inside Drop
        ++host.drops_owed_;
        if (!modem.Drop(now)) --host.drops_owed_;
        break;
      case 'c': modem.CarrierLost(now); break;
      case 'l': modem.DeviceLost("gone"); break;
      case 'w': host.writable = false; break;
      case 't':
        if (modem.Deadline() != INT64_MAX) now = modem.Deadline();
        break;
      default: now += op * 100; break;
    }
    tick();
  }
  deliver();
  return 0;
}
