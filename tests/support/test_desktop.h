#pragma once
// A desktop of the test's own: an X server (Xvfb, on a display it picks
// itself, so other X servers on the machine never collide with it), the
// openbox window manager and the trayer notification area, each logging to a
// file in `logs`. DISPLAY names it while it lives; everything ends with it.
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/scoped_env.h"

namespace vltg::testing {

class TestDesktop {
 public:
  // The program it needs that is not installed; empty when all are.
  static std::string MissingProgram();

  // Throws when the X server does not come up.
  explicit TestDesktop(const std::filesystem::path& logs);
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // The state the window manager gives a top-level window: "Normal",
  // "Iconic", or empty while it manages none (withdrawn).
  std::string WindowState(unsigned long window) const;
  // A window's property as xprop prints it, one value an element (atoms by
  // their names, numbers as written); empty while the window has none.
  std::vector<std::string> Property(unsigned long window, const std::string& name) const;

 private:
  void Spawn(std::vector<std::string> argv, const std::filesystem::path& log, int display_fd = -1);
  void Stop();

  std::optional<ScopedEnv> display_;
  std::vector<int> pids_;  // in the order started
};

}  // namespace vltg::testing
