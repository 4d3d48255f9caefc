#include "platform/messages/work_hand_off.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace vltg::platform {
namespace {

// The process's address space in kB: a thread never joined keeps its stack
// mapped, megabytes each.
long AddressSpaceKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmSize:", 0) == 0) return std::stol(line.substr(7));
  }
  return 0;
}

// The manager hands off a status poll every ten seconds for as long as it
// runs: each `done` comes back on the owner's thread, in order, and no thread
// is kept once its work has been answered.
TEST(WorkHandOff, AnswersOnTheOwnersThreadAndKeepsNoThread) {
  WorkHandOff hand_off;
  long settled = 0;  // after the first hundred: the allocator's arenas made
  const auto owner = std::this_thread::get_id();
  std::vector<int> answered;
  for (int i = 0; i < 200; ++i) {
    if (i == 100) settled = AddressSpaceKb();
    std::thread::id worked_on;
    hand_off.Run([&worked_on] { worked_on = std::this_thread::get_id(); },
                 [&, i] {
                   EXPECT_NE(worked_on, owner);
                   EXPECT_EQ(std::this_thread::get_id(), owner);
                   answered.push_back(i);
                 });
    while (answered.size() < static_cast<size_t>(i + 1)) {
      if (!hand_off.RunOneFinished()) hand_off.WaitReady(std::chrono::seconds(1));
    }
  }
  EXPECT_EQ(answered.size(), 200u);
  EXPECT_TRUE(std::is_sorted(answered.begin(), answered.end()));
  EXPECT_LT(AddressSpaceKb() - settled, 256 * 1024);  // a hundred stacks kept: 800 MB
  EXPECT_EQ(hand_off.Running(), 0);
}

}  // namespace
}  // namespace vltg::platform
