#include "platform/messages/message_queue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

#include "platform/messages/clock.h"
#include "platform/messages/timer.h"

namespace vltg::platform {
namespace {

TEST(MessageQueue, PostedMessagesWaitForTheOwnerToPump) {
  std::vector<uint32_t> seen;
  MessageTarget target([&](uint32_t msg, uintptr_t w, intptr_t l) {
    seen.push_back(msg + static_cast<uint32_t>(w) + static_cast<uint32_t>(l));
    return 0;
  });
  std::thread([ref = target.Ref()] {
    EXPECT_TRUE(ref.Post(100, 1, 2));
    EXPECT_TRUE(ref.Post(200));
  }).join();
  EXPECT_TRUE(seen.empty());
  EXPECT_TRUE(ProcessMessages());
  EXPECT_EQ(seen, (std::vector<uint32_t>{103, 200}));
  EXPECT_FALSE(ProcessMessages());
}

TEST(MessageQueue, SentMessageRunsOnTheOwnerThreadAndReturnsItsResult) {
  const auto owner = std::this_thread::get_id();
  std::thread::id ran_on;
  MessageTarget target([&](uint32_t msg, uintptr_t, intptr_t) {
    ran_on = std::this_thread::get_id();
    return static_cast<intptr_t>(msg * 2);
  });
  auto result = std::async(std::launch::async, [ref = target.Ref()] { return ref.Send(21); });
  while (result.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) WaitMessage(50);
  EXPECT_EQ(result.get(), std::optional<intptr_t>(42));
  EXPECT_EQ(ran_on, owner);
}

TEST(MessageQueue, SendFailsAtOnceWhenTheOwnerIsGone) {
  TargetRef ref;
  std::thread([&] {
    MessageTarget target([](uint32_t, uintptr_t, intptr_t) { return 1; });
    ref = target.Ref();
  }).join();
  EXPECT_FALSE(ref.Send(1).has_value());
  EXPECT_FALSE(ref.Post(1));

  // A target whose thread ended without destroying it is gone as well.
  std::unique_ptr<MessageTarget> leaked;
  std::thread([&] { leaked = std::make_unique<MessageTarget>([](uint32_t, uintptr_t, intptr_t) { return 1; }); }).join();
  EXPECT_FALSE(leaked->Send(1).has_value());
}

TEST(MessageQueue, PendingSendFailsWhenTheTargetIsDestroyed) {
  auto target = std::make_unique<MessageTarget>([](uint32_t, uintptr_t, intptr_t) { return 7; });
  auto result = std::async(std::launch::async, [ref = target->Ref()] { return ref.Send(1); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  target.reset();
  EXPECT_FALSE(result.get().has_value());
}

TEST(MessageQueue, TwoThreadsSendingToEachOtherDoNotDeadlock) {
  std::promise<TargetRef> other_ref;
  std::atomic<bool> done{false};
  MessageTarget mine([](uint32_t, uintptr_t, intptr_t) { return 1; });
  std::thread other([&] {
    MessageTarget theirs([&](uint32_t, uintptr_t, intptr_t) { return 2; });
    other_ref.set_value(theirs.Ref());
    // Sends to the first thread while that one is sending here.
    EXPECT_EQ(mine.Ref().Send(5), std::optional<intptr_t>(1));
    while (!done) WaitMessage(10);
  });
  EXPECT_EQ(other_ref.get_future().get().Send(5), std::optional<intptr_t>(2));
  done = true;
  other.join();
}

TEST(MessageQueue, HandlersMayPumpAgain) {
  int depth = 0, max_depth = 0;
  std::unique_ptr<MessageTarget> target;
  target = std::make_unique<MessageTarget>([&](uint32_t msg, uintptr_t, intptr_t) {
    max_depth = std::max(max_depth, ++depth);
    if (msg == 1) {
      target->Post(2);
      ProcessMessages();
    }
    --depth;
    return 0;
  });
  target->Post(1);
  ProcessMessages();
  EXPECT_EQ(max_depth, 2);
}

TEST(MessageQueue, AWakeIsNotLostToThePumpBeforeTheWait) {
  // WaitMessage pumps first (which drains the wake) and then waits: the wake
  // must still end that wait.
  CurrentThread().Wake();
  WaitMessage(-1);  // blocked for ever when the wake was lost
}

TEST(MessageQueue, ThreadMessagesReachTheThreadHandler) {
  std::vector<uint32_t> seen;
  SetThreadMessageHandler([&](uint32_t msg, uintptr_t, intptr_t) { seen.push_back(msg); });
  const ThreadRef me = CurrentThread();
  std::thread([&] { EXPECT_TRUE(me.PostThreadMessage(1025, 1)); }).join();
  ProcessMessages();
  SetThreadMessageHandler(nullptr);
  EXPECT_EQ(seen, std::vector<uint32_t>{1025});
}

TEST(Timers, FireOnlyWhileTheThreadPumpsAndCoalesce) {
  auto clock = std::make_shared<ManualClock>();
  ScopedClock scoped(clock);
  int ticks = 0;
  Timer timer(100, [&] { ++ticks; });
  timer.SetEnabled(true);
  clock->Advance(350);
  EXPECT_EQ(ticks, 0);  // nobody pumped
  ProcessMessages();
  EXPECT_EQ(ticks, 1);  // three periods passed, one tick
  clock->Advance(40);   // 390: the phase was kept, next tick at 400
  ProcessMessages();
  EXPECT_EQ(ticks, 1);
  clock->Advance(10);
  ProcessMessages();
  EXPECT_EQ(ticks, 2);
  // Enabling an enabled timer keeps the phase; after a stop it restarts.
  clock->Advance(50);
  timer.SetEnabled(true);
  clock->Advance(50);
  ProcessMessages();
  EXPECT_EQ(ticks, 3);
  timer.SetEnabled(false);
  clock->Advance(50);
  timer.SetEnabled(true);
  clock->Advance(99);
  ProcessMessages();
  EXPECT_EQ(ticks, 3);
  clock->Advance(1);
  ProcessMessages();
  EXPECT_EQ(ticks, 4);
}

TEST(Timers, AutoAdvancingClockLetsSleepsPassInstantly) {
  auto clock = std::make_shared<ManualClock>(true);
  ScopedClock scoped(clock);
  int ticks = 0;
  Timer timer(1000, [&] { ++ticks; });
  timer.SetEnabled(true);
  const auto real_start = std::chrono::steady_clock::now();
  SleepPumping(45'000);
  EXPECT_EQ(clock->NowMs(), 45'000);
  EXPECT_EQ(ticks, 45);  // every tick, none coalesced
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(20));  // not the 45 s
}

TEST(Timers, ManualClockWakesASleeperWhenAdvanced) {
  auto clock = std::make_shared<ManualClock>();
  ScopedClock scoped(clock);
  std::atomic<bool> woke{false};
  std::thread sleeper([&] {
    SleepPumping(5000);
    woke = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(woke);
  clock->Advance(5000);
  sleeper.join();
  EXPECT_TRUE(woke);
}

// A plain sleep on the clock: what is posted meanwhile waits, in order, for
// the next pump, and a wake it took in still ends the next wait.
TEST(Timers, SleepWithoutPumpingDispatchesNothing) {
  ScopedClock scoped(std::make_shared<ScaledClock>(1000));
  std::vector<uint32_t> seen;
  MessageTarget target([&](uint32_t msg, uintptr_t, intptr_t) {
    seen.push_back(msg);
    return 0;
  });
  EXPECT_TRUE(target.Post(1));
  EXPECT_TRUE(target.Post(2));
  CurrentThread().Wake();
  SleepWithoutPumping(5000);
  EXPECT_TRUE(seen.empty());
  const auto real_start = std::chrono::steady_clock::now();
  WaitForWake(30000);
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(20));
  ProcessMessages();
  EXPECT_EQ(seen, (std::vector<uint32_t>{1, 2}));
}

TEST(Timers, ScaledClockShrinksRealWaits) {
  ScopedClock scoped(std::make_shared<ScaledClock>(100));
  const auto real_start = std::chrono::steady_clock::now();
  SleepPumping(10'000);
  const auto real = std::chrono::steady_clock::now() - real_start;
  EXPECT_GE(real, std::chrono::milliseconds(90));
  EXPECT_LT(real, std::chrono::seconds(5));  // not the 10 s
}

TEST(PollSources, ReadinessIsDispatchedOnThePump) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  struct Source : PollSource {
    int fd;
    int ready = 0;
    void CollectFds(std::vector<pollfd>& out) override { out.push_back({fd, POLLIN, 0}); }
    void OnReady(const pollfd* p, size_t n) override {
      ASSERT_EQ(n, 1u);
      char c;
      if (p[0].revents & POLLIN) ready += static_cast<int>(read(fd, &c, 1));
    }
  } source;
  source.fd = fds[0];
  RegisterPollSource(&source);
  EXPECT_FALSE(ProcessMessages());
  std::thread([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_EQ(write(fds[1], "x", 1), 1);
  }).join();
  WaitMessage(1000);
  EXPECT_EQ(source.ready, 1);
  UnregisterPollSource(&source);
  close(fds[0]);
  close(fds[1]);
}

TEST(PollSources, WaitReadableEndsOnDataOrItsDeadlineAndWatchesNothingAfter) {
  using Steady = std::chrono::steady_clock;
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  WaitMessage(0);  // a wake left from before ends no wait below
  auto start = Steady::now();
  WaitReadable(fds[0], NowMs() + 50);
  EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(45));

  std::thread writer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(write(fds[1], "x", 1), 1);
  });
  start = Steady::now();
  WaitReadable(fds[0], NowMs() + 10000);
  EXPECT_LT(Steady::now() - start, std::chrono::seconds(5));
  writer.join();
  WaitReadable(fds[0], -1);  // readable already: at once

  // Still readable, but no longer watched: a wait for messages waits.
  start = Steady::now();
  WaitMessage(50);
  EXPECT_GE(Steady::now() - start, std::chrono::milliseconds(45));
  close(fds[0]);
  close(fds[1]);
}

}  // namespace
}  // namespace vltg::platform
