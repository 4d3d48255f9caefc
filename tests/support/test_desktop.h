#pragma once
// A desktop of the test's own: an X server (Xvfb, on a display it picks
// itself, so tests and people running X servers beside it never collide), the
// openbox window manager and the trayer notification area. Each program's
// output goes to a log file in the test's directory. Everything ends with
// the object.
#include <filesystem>
#include <string>
#include <vector>

namespace vltg::testing {

class TestDesktop {
 public:
  // The programs it runs, when one of them is not installed: empty when all are.
  static std::string MissingProgram();

  // Starts the X server and waits for its display; then the window manager,
  // which starts the notification area once it runs. Throws when the server
  // does not come up.
  explicit TestDesktop(const std::filesystem::path& logs);
  ~TestDesktop();
  TestDesktop(const TestDesktop&) = delete;
  TestDesktop& operator=(const TestDesktop&) = delete;

  // ":N", for DISPLAY.
  const std::string& Display() const { return display_; }
  // The state the window manager gives a top-level window, as it tells the
  // X server: "Normal", "Iconic", or empty while it manages none (withdrawn).
  std::string WindowState(unsigned long window) const;

 private:
  void Stop();
  int Spawn(const std::vector<std::string>& argv, const std::filesystem::path& log, int pass_fd = -1);

  std::string display_;
  std::vector<int> pids_;  // in the order started
};

}  // namespace vltg::testing
