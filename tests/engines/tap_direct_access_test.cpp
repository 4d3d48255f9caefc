// Direct access: the engine's worker thread serves TAP callers on a COM port
// (a pseudo-terminal here), one after another.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engines/kyr_tap.h"
#include "engines/tap_chars.h"
#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "tests/support/caller_script.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/pump_until.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {

using namespace tap;
using namespace std::string_literals;
using ::testing::Contains;
using vltg::test::PumpUntil;
using vltg::testing::TapBlock;
using vltg::testing::PseudoTerminal;
using Steady = std::chrono::steady_clock;

const std::string kProcessing = "Processing - Please Wait"s + CR + ACK + CR;
const std::string kGoAhead = ESC + "[p"s + CR;
const std::string kAccepted = "Message Submitted For Processing"s + CR + ACK + CR;
const std::string kGoodBye = "Terminal Disconnect - Good Bye"s + CR + ESC + EOT;

// The TAP caller at the far end of the port, in real time.
class PtyCaller {
 public:
  explicit PtyCaller(PseudoTerminal& pty) : pty_(pty) {}

  // True once the port has sent `text` (looked for after the last text found).
  bool Await(const std::string& text, int real_ms = 5000) {
    const auto deadline = Steady::now() + std::chrono::milliseconds(real_ms);
    for (;;) {
      const size_t at = seen_.find(text);
      if (at != std::string::npos) {
        seen_.erase(0, at + text.size());
        return true;
      }
      if (Steady::now() > deadline) return false;
      seen_ += pty_.Read(4096, 10);
    }
  }
  void Send(const std::string& bytes) { ASSERT_TRUE(pty_.Write(bytes)); }

  // CR until the port answers "ID=" (a CR that came before the port's flush
  // is lost, so the caller tries again as a real one would).
  bool Greet() {
    for (int i = 0; i < 30; ++i) {
      Send("\r");
      if (Await("ID=", 400)) return true;
    }
    return false;
  }

  // A whole automatic transaction with one page.
  void SendPage(const std::string& pin, const std::string& msg, const std::string& answer = kAccepted) {
    ASSERT_TRUE(Greet());
    Send(ESC + "PG1"s + CR);
    ASSERT_TRUE(Await(kProcessing));
    ASSERT_TRUE(Await(kGoAhead));
    Send(TapBlock(pin, msg));
    ASSERT_TRUE(Await(answer)) << "no answer to the page " << pin;
    if (answer != kAccepted) return;
    ASSERT_TRUE(Await(kGoAhead));
    Send(EOT + "\r"s);
    ASSERT_TRUE(Await(kGoodBye));
  }

 private:
  PseudoTerminal& pty_;
  std::string seen_;
};

class TapDirectAccessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    vltg::testing::LinkComPort(1, pty.SlavePath());
    Configure(*engine);
  }
  void Configure(TKYRTap& tap) {
    tap.SetDeviceDirectAccess(true);
    tap.SetComPortDataBits(dbt8BITS);
    tap.SetComPortParity(pttNONE);
    tap.SetComPortHwHandshaking(hhtNONE);
    tap.SetLineInstance(3);
    tap.OnTapiProgress = [this](TTapSession&, const std::string& msg) {
      std::lock_guard lock(mutex);
      progress.push_back(msg);
      progress_at.push_back(platform::NowMs());
    };
    tap.OnMsgReceived = [this](TTapSession&, const std::string& pin, const std::string& msg, std::string&,
                               std::string&, std::string&, bool&) {
      std::lock_guard lock(mutex);
      pages.push_back(pin + ":" + msg);
      if (pin == failing_pin) throw Exception("the owner failed");
    };
    tap.OnClose = [this](TKYRTap&) { ++closes; };
    tap.OnDropCall = [this](TKYRTap&) { ++drops; };
  }
  std::vector<std::string> Pages() {
    std::lock_guard lock(mutex);
    return pages;
  }
  std::vector<std::string> Progress() {
    std::lock_guard lock(mutex);
    return progress;
  }
  size_t CountProgress(const std::string& text) {
    auto all = Progress();
    return static_cast<size_t>(std::count(all.begin(), all.end(), text));
  }
  // The clock when the engine said `text` for the `n`th time (from 1); -1
  // before it has.
  int64_t ProgressAt(const std::string& text, int n) {
    std::lock_guard lock(mutex);
    for (size_t i = 0; i < progress.size(); ++i) {
      if (progress[i] == text && --n == 0) return progress_at[i];
    }
    return -1;
  }

  vltg::testing::TempDir root;
  vltg::testing::ScopedEnv env{"VLTG_ROOT", root.Path().string()};
  // A 10 s read window lasts a real second.
  platform::ScopedClock clock{std::make_shared<platform::ScaledClock>(10)};
  PseudoTerminal pty;
  PtyCaller caller{pty};
  std::mutex mutex;
  std::vector<std::string> progress;
  std::vector<int64_t> progress_at;
  std::vector<std::string> pages;
  std::string failing_pin;
  std::atomic<int> closes{0};
  std::atomic<int> drops{0};
  std::unique_ptr<TKYRTap> engine = std::make_unique<TKYRTap>();
};

TEST_F(TapDirectAccessTest, ServesOneCallerAfterAnotherOnTheSamePort) {
  engine->SetWaitForCall(true);
  EXPECT_EQ(engine->DAThreadName(), "DAThread3");
  EXPECT_TRUE(engine->DirectAccessRunning());

  caller.SendPage("1234", "Hello");
  caller.SendPage("5678", "Second caller");
  EXPECT_EQ(Pages(), (std::vector<std::string>{"1234:Hello", "5678:Second caller"}));

  engine->SetWaitForCall(false);  // returns once the worker has ended
  EXPECT_FALSE(engine->DirectAccessRunning());
  EXPECT_FALSE(engine->FCommAttached);
  EXPECT_FALSE(engine->CommHandleHeld());
  EXPECT_EQ(closes, 1);
  EXPECT_EQ(CountProgress("Connecting to COM1"), 1u);
  EXPECT_EQ(CountProgress("Direct Access Port COM1 Open!"), 1u);
  EXPECT_EQ(CountProgress("Disconnected - Transactions Completed"), 2u);
}

// A port that is not there: said once, then tried again with a growing
// pause (3, 6, 12 s ...) until it serves.
TEST_F(TapDirectAccessTest, APortThatFailsToOpenIsTriedAgainQuietlyUntilItWorks) {
  vltg::testing::LinkComPort(5, (root.Path() / "no-such-device").string());
  engine->SetComPort(5);
  engine->SetWaitForCall(true);
  // Tries 0, 3, 9 and 21 s after the first; the port comes at 15 s, so the
  // try at 21 s opens it (with a pause that did not grow, one at 18 s would).
  // Pauses never end early, so however slowly the machine runs, the port is
  // not opened before 21 s.
  const std::string connecting = "Connecting to COM5";
  ASSERT_TRUE(PumpUntil([&] { return ProgressAt(connecting, 1) >= 0; }));
  const int64_t first = ProgressAt(connecting, 1);
  ASSERT_TRUE(PumpUntil([&] { return platform::NowMs() - first >= 15000; }));
  vltg::testing::LinkComPort(5, pty.SlavePath());
  ASSERT_TRUE(PumpUntil([&] { return CountProgress(connecting) == 2; }));
  EXPECT_GE(ProgressAt(connecting, 2) - first, 21000);
  EXPECT_EQ(Progress(), (std::vector<std::string>{"Connecting to COM5", "Error establishing connection!",
                                                  "Direct Access Port COM5 Closed - Restarting", "Connecting to COM5",
                                                  "Direct Access Port COM5 Open!"}));
  EXPECT_EQ(closes, 1);

  caller.SendPage("42", "after the restart");
  EXPECT_EQ(Pages(), std::vector<std::string>{"42:after the restart"});
  engine->SetWaitForCall(false);
  EXPECT_FALSE(engine->DirectAccessRunning());
}

// The caller's end hangs up in the middle of a block: the dead device is let
// go and the port opened again by its name, where the next caller is served.
TEST_F(TapDirectAccessTest, ADeviceThatHangsUpIsLetGoAndThePortOpenedAgain) {
  engine->SetWaitForCall(true);
  ASSERT_TRUE(caller.Greet());
  caller.Send(ESC + "PG1"s + CR);
  ASSERT_TRUE(caller.Await(kGoAhead));
  caller.Send(STX + "123"s + CR);
  pty.CloseMaster();
  PseudoTerminal next;
  vltg::testing::LinkComPort(1, next.SlavePath());
  PtyCaller next_caller(next);
  next_caller.SendPage("7", "after the hang-up");
  EXPECT_EQ(Pages(), std::vector<std::string>{"7:after the hang-up"});
  EXPECT_EQ(CountProgress("Connecting to COM1"), 2u);
  engine->SetWaitForCall(false);
}

// An owner whose handler raises makes the dialogue drop the call on the
// worker's own thread: the worker must not wait for itself, and the port
// comes back for the next caller.
TEST_F(TapDirectAccessTest, ADroppedCallOnTheWorkerReopensThePort) {
  failing_pin = "666";
  engine->SetWaitForCall(true);
  ASSERT_TRUE(caller.Greet());
  caller.Send(ESC + "PG1"s + CR);
  ASSERT_TRUE(caller.Await(kGoAhead));
  caller.Send(TapBlock("666", "fails"));
  ASSERT_TRUE(PumpUntil([&] { return CountProgress("Connecting to COM1") >= 2; }));
  EXPECT_EQ(drops, 1);

  caller.SendPage("1234", "next caller");
  EXPECT_EQ(Pages(), (std::vector<std::string>{"666:fails", "1234:next caller"}));
  engine->SetWaitForCall(false);
}

// Dropped by the owner: the worker ends, and the port opened again 3 s later
// is not closed under the new worker.
TEST_F(TapDirectAccessTest, ACallDroppedByTheOwnerReopensThePort) {
  engine->SetWaitForCall(true);
  caller.SendPage("1", "before");
  engine->DropCall();
  EXPECT_EQ(drops, 1);
  EXPECT_TRUE(engine->DirectAccessRunning());
  caller.SendPage("2", "after");
  EXPECT_EQ(Pages(), (std::vector<std::string>{"1:before", "2:after"}));
  engine->SetWaitForCall(false);
}

TEST_F(TapDirectAccessTest, DestroyingTheEngineEndsItsWorker) {
  auto alive = std::make_shared<std::atomic<bool>>(true);
  engine->OnTapiProgress = [alive](TTapSession&, const std::string&) { EXPECT_TRUE(*alive); };
  engine->SetWaitForCall(true);
  ASSERT_TRUE(caller.Greet());
  engine.reset();
  *alive = false;
  // Nothing answers any more.
  caller.Send("\r");
  EXPECT_FALSE(caller.Await("ID=", 300));
}

}  // namespace
}  // namespace vltg
