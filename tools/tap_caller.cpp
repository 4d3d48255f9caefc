#include "tools/tap_caller.h"

#include <algorithm>
#include <ostream>

#include "tests/support/caller_script.h"
#include "tests/support/modem_simulator.h"

namespace vltg::testing {
namespace {

// CR every 2 s until "ID=", then the automatic logon up to the go-ahead.
const char* const kLogOn = "knock \"\\r\" ID= 10\nsend \"\\ePG1\\r\"\nexpect \"\\e[p\" 10\n";
// After its good-bye the gateway drops the call itself.
const char* const kGoodBye = "send \"\\x04\\r\"\nexpect \"\\e\\x04\" 10\nwait 5000\n";
// The gateway delivers the page before it answers; a slow carrier takes a while.
constexpr int64_t kVerdictMs = 120000;

}  // namespace

TapVerdict FindTapVerdict(std::string_view from_line) {
  const size_t ack = from_line.find("\x06\r");
  const size_t rs = from_line.find("\x1e\r");
  const size_t nak = from_line.find("\x15\r");
  const size_t first = std::min({ack, rs, nak});
  if (first == std::string_view::npos) return TapVerdict::kNone;
  if (first == ack) return TapVerdict::kAccepted;
  return first == rs ? TapVerdict::kRefused : TapVerdict::kRejected;
}

std::string TapVerdictText(TapVerdict verdict) {
  switch (verdict) {
    case TapVerdict::kAccepted: return "accepted (ACK)";
    case TapVerdict::kRefused: return "refused (RS)";
    case TapVerdict::kRejected: return "rejected (NAK)";
    case TapVerdict::kNone: break;
  }
  return "no answer";
}

TapVerdict PlayTapPageCall(ModemSimulator& modem, const DemoPageRequest& page, std::ostream& transcript,
                           std::string& failure) {
  auto end_call = [&](std::string why) {
    failure = std::move(why);
    if (modem.Connected()) {
      transcript << "(caller hangs up)\n" << std::flush;
      modem.HangUp();
    } else {
      transcript << "(the gateway has hung up)\n" << std::flush;
    }
    return TapVerdict::kNone;
  };

  if (failure = CallerScript::Parse(kLogOn).Play(modem, &transcript); !failure.empty()) {
    return end_call("logon: " + failure);
  }

  const std::string block = TapBlock(page.pin, page.message);
  transcript << "> " << ShowBytes(block) << "\n" << std::flush;
  if (!modem.SendFromCaller(block)) return end_call("the call ended before the page was sent");
  std::string answer;
  TapVerdict verdict = TapVerdict::kNone;
  modem.WaitUntil(
      [&] {
        const std::string more = modem.TakeFromLine();
        if (!more.empty()) transcript << "< " << ShowBytes(more) << "\n" << std::flush;
        answer += more;
        verdict = FindTapVerdict(answer);
        return verdict != TapVerdict::kNone || !modem.Connected();
      },
      kVerdictMs);
  if (verdict == TapVerdict::kNone) {
    return end_call(modem.Connected() ? "no verdict on the page" : "the call ended before the verdict");
  }

  // The verdict stands even when the farewell goes wrong.
  if (const std::string bye = CallerScript::Parse(kGoodBye).Play(modem, &transcript); !bye.empty()) {
    transcript << "(no good-bye: " << bye << ")\n";
  }
  end_call({});
  return verdict;
}

}  // namespace vltg::testing
