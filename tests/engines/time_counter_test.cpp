#include "engines/time_counter.h"

#include <gtest/gtest.h>

#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

using platform::ManualClock;
using platform::ProcessMessages;
using platform::ScopedClock;

class TimeCounterTest : public ::testing::Test {
 protected:
  // One second passes and the thread pumps.
  void Second() {
    clock_->Advance(1000);
    ProcessMessages();
  }
  std::shared_ptr<ManualClock> clock_ = std::make_shared<ManualClock>();
  ScopedClock scoped_{clock_};
};

TEST_F(TimeCounterTest, CountsDownAndKeepsGoingBelowZero) {
  TTimeCounter counter;
  EXPECT_EQ(counter.FStartValue, 60);
  counter.FStartValue = 3;
  counter.Start();
  Second();
  Second();
  EXPECT_FALSE(counter.FExpired);
  Second();
  EXPECT_TRUE(counter.FExpired);
  Second();
  EXPECT_EQ(counter.FCounter, -1);
  counter.Stop();
  Second();
  EXPECT_EQ(counter.FCounter, -1);
  EXPECT_TRUE(counter.FExpired);  // only the user clears it
  counter.Start();
  EXPECT_TRUE(counter.FExpired);
}

TEST_F(TimeCounterTest, NonPositiveStartExpiresOnTheFirstTick) {
  TTimeCounter counter;
  counter.FStartValue = 0;
  counter.Start();
  EXPECT_FALSE(counter.FExpired);
  Second();
  EXPECT_TRUE(counter.FExpired);
}

TEST_F(TimeCounterTest, NoTicksWithoutPumping) {
  TTimeCounter counter;
  counter.FStartValue = 1;
  counter.Start();
  clock_->Advance(5000);
  EXPECT_FALSE(counter.FExpired);
  ProcessMessages();
  EXPECT_EQ(counter.FCounter, 0);  // one coalesced tick
}

TEST_F(TimeCounterTest, RestartWhileRunningKeepsThePhase) {
  TTimeCounter counter;
  counter.FStartValue = 2;
  counter.Start();
  clock_->Advance(600);
  ProcessMessages();
  counter.Start();  // reload at 600 ms: the next tick still comes at 1000
  clock_->Advance(400);
  ProcessMessages();
  EXPECT_EQ(counter.FCounter, 1);
  Second();
  EXPECT_TRUE(counter.FExpired);  // lasted 1.4 s of a nominal 2
}

TEST_F(TimeCounterTest, WaitLoopExpiresInVirtualTime) {
  clock_->SetAutoAdvance(true);
  TTimeCounter counter;
  counter.FStartValue = 45;
  counter.FExpired = false;
  counter.Start();
  int passes = 0;
  while (!counter.FExpired) {
    platform::SleepPumping(10);
    ++passes;
  }
  counter.Stop();
  EXPECT_EQ(clock_->NowMs(), 45'000);
  EXPECT_EQ(passes, 4500);
}

}  // namespace
}  // namespace vltg
