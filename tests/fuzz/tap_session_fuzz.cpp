// Random caller bytes through the whole TAP dialogue over the scripted port.
// Input: a settings byte, a byte with the length limit (low six bits) and
// the caller's patience (top two: 100 ms, 300 ms, 1 s or 3 s), then the
// caller's bursts separated by LF. The first burst comes as the call is put
// through, each other follows the gateway's next send or, when the gateway
// stays silent, the caller's patience; the caller hangs up once it has said
// everything. It all runs in virtual time. The dialogue
// must neither crash nor run past a virtual-time bound, must deliver only
// clean messages within the length limit, and must never end with the call
// still attached.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engines/tap_session.h"
#include "platform/messages/clock.h"
#include "tests/support/fake_tap_port.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vltg;
  using vltg::testing::FuzzCheck;
  if (size < 2) return 0;
  const uint8_t flags = data[0];
  const std::string script(reinterpret_cast<const char*>(data) + 2, size - 2);

  // One virtual clock for the whole run: installing a clock keeps it alive for
  // good, which per input would grow memory and leak-check every run.
  static const platform::ScopedClock virtual_time(std::make_shared<platform::ManualClock>(true));
  FakeTapPort port;
  TTapSession engine(port);
  engine.SetWaitForCall(true);
  engine.SetTapPassword(flags & 0x01 ? "pw" : "");
  engine.SetManualEntryType(flags & 0x02 ? metGlenair : metHark);
  engine.SetETAP(flags & 0x04);
  engine.SetDeviceDirectAccess(flags & 0x08);
  engine.SetTurncateMsgs(flags & 0x40);
  engine.SetManualEntryHeader(flags & 0x80 ? "HEADER" : "");
  const int32_t limit = data[1] % 64;
  static constexpr int64_t kPatienceMs[] = {100, 300, 1000, 3000};
  const int64_t patience = kPatienceMs[data[1] >> 6];
  engine.SetMaxMsgLength(limit);
  if (flags & 0x10) {
    const bool verdict = flags & 0x20;
    engine.OnTapiProgress = [](TTapSession&, const std::string&) {};
    engine.OnAccountVerify = [verdict](TTapSession&, const std::string&, bool& accept) { accept = verdict; };
    engine.OnMsgReceived = [verdict, limit](TTapSession&, const std::string& pin, const std::string& msg,
                                            std::string& id, std::string&, std::string&, bool& submitted) {
      FuzzCheck(pin.find('\r') == std::string::npos);
      FuzzCheck(msg.find_first_of("\r\n") == std::string::npos);
      FuzzCheck(limit == 0 || msg.size() <= static_cast<size_t>(limit));
      id = "1";
      submitted = verdict;
    };
    auto data_event = [verdict](TTapSession&, std::string&, std::string&, std::string& d, bool& completed) {
      d = "d";
      completed = verdict;
    };
    auto update_event = [verdict](TTapSession&, std::string&, std::string&, std::string& rsp, std::string& msg,
                                  std::string&, std::string&, bool& completed, bool) {
      rsp = msg;
      completed = verdict;
    };
    engine.ETAPDelete = engine.ETAPConfirm = data_event;
    engine.ETAPReplace = engine.ETAPUpdate = update_event;
  }

  size_t bursts = 0;
  for (size_t from = 0; from <= script.size(); ++bursts) {
    size_t end = script.find('\n', from);
    if (end == std::string::npos) end = script.size();
    if (bursts == 0) {
      port.Then(script.substr(from, end - from));
    } else {
      port.AfterAnySend(script.substr(from, end - from), patience);
    }
    from = end + 1;
  }
  port.HangUpWhenDone();
  port.AbortAfter(platform::NowMs() + 3600 * 1000 + static_cast<int64_t>(bursts) * 60 * 1000);
  port.Connect(engine);
  engine.RunTapSession();
  FuzzCheck(!engine.FCommAttached);
  return 0;
}
