#include "engines/tap_reads.h"

#include <exception>
#include <vector>

#include "engines/tap_chars.h"
#include "engines/time_counter.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

using namespace tap;

constexpr int64_t kFirstReadDelayMs = 750;

std::vector<std::string> SplitTerminators(const std::string& Terminators) {
  std::vector<std::string> list(1);
  for (char c : Terminators.substr(0, 100)) {
    if (c == '|') {
      list.emplace_back();
    } else {
      list.back() += c;
    }
  }
  return list;
}

}  // namespace

bool TapBlockComplete(const std::string& Text) {
  const size_t n = Text.size();
  if (n == 0 || Text[n - 1] != CR) return false;
  if (Text.find(ETX) != std::string::npos) return true;
  if (n >= 5 && (Text[n - 5] == ETB || Text[n - 5] == US)) return true;
  return n >= 2 && Text[n - 2] == EOT;
}

int32_t TapReadUntil(TTapInput& Input, const std::string& Terminators, std::string& Line, int32_t Seconds) {
  Line.clear();
  if (!Input.InputOpen()) return -1;
  const std::vector<std::string> terminators = SplitTerminators(Terminators);
  TTimeCounter counter;
  counter.FStartValue = Seconds;
  platform::SleepPumping(kFirstReadDelayMs);
  counter.Start();
  for (;;) {
    std::string arrived;
    try {
      arrived = Input.ReadWaiting();
    } catch (const std::exception&) {
      return -1;
    }
    for (char c : arrived) {
      platform::SleepPumping(1);
      Line += c;
      for (size_t k = 0; k < terminators.size(); ++k) {
        if (terminators[k].size() == 1 && terminators[k][0] == c) return static_cast<int32_t>(k);
      }
    }
    if (!Input.InputOpen() || counter.FExpired) return -1;
    Input.AwaitInput();
  }
}

void TapReadBlock(TTapInput& Input, int32_t Seconds, std::string& Text) {
  if (!Input.InputOpen()) return;
  try {
    TTimeCounter counter;
    counter.FStartValue = Seconds;
    platform::SleepPumping(kFirstReadDelayMs);
    counter.Start();
    Text.clear();
    for (;;) {
      platform::ProcessMessages();
      std::string arrived;
      try {
        arrived = Input.ReadWaiting();
      } catch (const std::exception&) {
        return;
      }
      if (!arrived.empty()) {
        Text += arrived;
        if (TapBlockComplete(Text)) return;
      }
      if (!Input.InputOpen() || counter.FExpired) return;
      if (arrived.empty()) Input.AwaitInput();
    }
  } catch (const std::exception&) {
    Text.clear();
  }
}

}  // namespace vltg
