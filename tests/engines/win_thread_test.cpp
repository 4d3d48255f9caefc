#include "engines/win_thread.h"

#include <gtest/gtest.h>

#include <sys/types.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "platform/base/exception.h"
#include "platform/messages/clock.h"
#include "platform/messages/message_queue.h"
#include "tests/support/pump_until.h"

namespace vltg {
namespace {

using test::PollUntil;
using test::PumpUntil;

class WinThread : public ::testing::Test {
 protected:
  // Virtual time: the component's start-up pause passes at once.
  platform::ScopedClock clock{std::make_shared<platform::ManualClock>(true)};
};

// Whether the thread is asleep in the kernel (waiting on a lock, say).
bool Asleep(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string text;
  std::getline(stat, text);
  const auto name_end = text.rfind(')');
  return name_end != std::string::npos && text.size() > name_end + 2 && text[name_end + 2] == 'S';
}

TEST_F(WinThread, ExecuteWithoutProcedureStartsNothing) {
  TWinThread threads;
  EXPECT_EQ(threads.Execute(nullptr), 0u);
  EXPECT_EQ(threads.ThreadCount(), 0);
  EXPECT_TRUE(threads.StopAll());
  EXPECT_EQ(threads.WaitForThreads(10), TWinThread::kNoThreads);
}

TEST_F(WinThread, WorkerRunsAndItsEndIsReportedOnTheOwnerThread) {
  const auto owner = std::this_thread::get_id();
  TWinThread threads;
  std::atomic<bool> release{false};
  int value = 0;
  std::thread::id worker_id, terminate_id;
  int count_during_terminate = -1;
  threads.ThreadProc = [&](TWinThread&, TWinThreadParam& p) -> uint32_t {
    worker_id = std::this_thread::get_id();
    value = *static_cast<int*>(p.Param);
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
  };
  threads.ThreadTerminate = [&](TWinThread& sender, TWinThreadParam& p) -> uint32_t {
    terminate_id = std::this_thread::get_id();
    EXPECT_EQ(&sender, &threads);
    EXPECT_EQ(*static_cast<int*>(p.Param), 7);
    count_during_terminate = sender.ThreadCount();
    return 0;
  };
  int param = 7;
  const THandle handle = threads.Execute(&param);
  EXPECT_NE(handle, 0u);
  EXPECT_EQ(threads.ThreadCount(), 1);
  release = true;
  ASSERT_TRUE(PumpUntil([&] { return threads.ThreadCount() == 0; }));
  EXPECT_EQ(value, 7);
  EXPECT_NE(worker_id, owner);
  EXPECT_EQ(terminate_id, owner);
  EXPECT_EQ(count_during_terminate, 1);  // the count drops only after ThreadTerminate
}

TEST_F(WinThread, ExceptionReachesThreadExceptionThenThreadTerminate) {
  const auto owner = std::this_thread::get_id();
  TWinThread threads;
  std::vector<std::string> events;
  threads.ThreadProc = [](TWinThread&, TWinThreadParam&) -> uint32_t { throw Exception("worker failed"); };
  threads.ThreadException = [&](TWinThread&, const TWinThreadInfo& info, const std::exception& e) {
    EXPECT_EQ(std::this_thread::get_id(), owner);
    EXPECT_NE(info.ThreadHandle, 0u);
    events.push_back(std::string("exception:") + e.what());
  };
  threads.ThreadTerminate = [&](TWinThread&, TWinThreadParam&) -> uint32_t {
    events.push_back("terminate");
    return 0;
  };
  threads.Execute(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return threads.ThreadCount() == 0; }));
  EXPECT_EQ(events, (std::vector<std::string>{"exception:worker failed", "terminate"}));
}

TEST_F(WinThread, WaitForThreadsHandlesTheEndMessagesItWaitsFor) {
  TWinThread threads;
  int terminated = 0;
  threads.ThreadProc = [](TWinThread&, TWinThreadParam&) -> uint32_t {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
  };
  threads.ThreadTerminate = [&](TWinThread&, TWinThreadParam&) -> uint32_t { return ++terminated; };
  for (int i = 0; i < 5; ++i) threads.Execute(nullptr);
  EXPECT_EQ(threads.WaitForThreads(5000), TWinThread::kWaitObject0);
  EXPECT_EQ(terminated, 5);
  EXPECT_EQ(threads.ThreadCount(), 0);
}

TEST_F(WinThread, StopAllWaitsForWorkersThatPollTheTag) {
  TWinThread threads;
  int terminated = 0;
  threads.ThreadProc = [](TWinThread& sender, TWinThreadParam&) -> uint32_t {
    while (sender.GetTag() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
  };
  threads.ThreadTerminate = [&](TWinThread&, TWinThreadParam&) -> uint32_t { return ++terminated; };
  threads.Execute(nullptr);
  threads.Execute(nullptr);
  threads.SetTag(1);
  EXPECT_TRUE(threads.StopAll());
  EXPECT_EQ(terminated, 0);  // not raised while StopAll runs, CallOnKill being off
}

// A worker blocked in its pump until something happens sees the stop request
// at once: setting the Tag wakes it.
TEST_F(WinThread, SettingTheTagWakesAWorkerWaitingForMessages) {
  TWinThread threads;
  std::promise<platform::ThreadRef> worker;
  threads.ThreadProc = [&](TWinThread& sender, TWinThreadParam&) -> uint32_t {
    worker.set_value(platform::CurrentThread());
    while (sender.GetTag() == 0) platform::WaitMessage(-1);
    return 0;
  };
  threads.Execute(nullptr);
  const platform::ThreadRef waiting = worker.get_future().get();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // most likely blocked by now
  threads.SetTag(1);
  EXPECT_TRUE(threads.StopAll());
  waiting.Wake();  // a worker the Tag failed to wake ends all the same
}

TEST_F(WinThread, StopAllGivesUpOnAWorkerThatDoesNotStop) {
  TWinThread threads;
  // The worker may still run when the test has returned: the flag is its own.
  auto release = std::make_shared<std::atomic<bool>>(false);
  threads.ThreadProc = [release](TWinThread&, TWinThreadParam&) -> uint32_t {
    while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return 0;
  };
  threads.Execute(nullptr);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(threads.StopAll());
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_EQ(threads.ThreadCount(), 1);
  *release = true;
}

TEST_F(WinThread, DestroyingWithARunningWorkerDoesNotHang) {
  std::atomic<bool> terminate_called{false};
  std::atomic<bool> ended{false};
  {
    TWinThread threads;
    threads.ThreadProc = [&](TWinThread& sender, TWinThreadParam&) -> uint32_t {
      while (sender.GetTag() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ended = true;
      return 0;
    };
    threads.ThreadTerminate = [&](TWinThread&, TWinThreadParam&) -> uint32_t {
      terminate_called = true;
      return 0;
    };
    threads.Execute(nullptr);
    std::thread([&] {
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      threads.SetTag(1);
    }).detach();
  }
  EXPECT_TRUE(ended);
  EXPECT_FALSE(terminate_called);  // never raised once destruction began
}

TEST_F(WinThread, SafeExecCodeRunsOnTheOwnerThread) {
  const auto owner = std::this_thread::get_id();
  TWinThread threads;
  int got = 0;
  threads.SafeExecCode = [&](int param) {
    EXPECT_EQ(std::this_thread::get_id(), owner);
    got = param;
  };
  threads.ThreadProc = [](TWinThread& sender, TWinThreadParam&) -> uint32_t {
    sender.Handle().Send(TWinThread::kExecSafe, 9);
    return 0;
  };
  threads.Execute(nullptr);
  ASSERT_TRUE(PumpUntil([&] { return threads.ThreadCount() == 0; }));
  EXPECT_EQ(got, 9);
}

// The lock is the holder's until it has released it as often as it took it;
// another thread asking for it sleeps until then, and cannot release it.
TEST_F(WinThread, LockHoldsAnotherThreadOffUntilUnlocked) {
  TWinThread threads;
  std::atomic<int> sequence{0}, trying{0}, unlocking{0}, locked{0};
  std::atomic<pid_t> other_tid{0};
  threads.Lock();
  threads.Lock();
  EXPECT_EQ(threads.ThreadCount(), 0);  // the holder still reads the list
  threads.Unlock();                     // still held once
  std::thread other([&] {
    other_tid = gettid();
    threads.Unlock();  // holds nothing: no effect
    trying = ++sequence;
    threads.Lock();
    locked = ++sequence;
    threads.Unlock();
  });
  ASSERT_TRUE(PollUntil([&] { return trying != 0; }));
  EXPECT_TRUE(PollUntil([&] { return Asleep(other_tid); }));  // blocked in Lock
  unlocking = ++sequence;
  threads.Unlock();
  other.join();
  EXPECT_EQ(trying, 1);
  EXPECT_EQ(unlocking, 2);
  EXPECT_EQ(locked, 3);
}

}  // namespace
}  // namespace vltg
