// The demo's simulated modem: its page requests, the verdicts its caller
// reads, and the tool's request socket.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "platform/messages/message_queue.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/demo_page_request.h"
#include "tools/tap_caller.h"

namespace vltg::testing {
namespace {

namespace fs = std::filesystem;

std::optional<DemoPageRequest> Parse(std::string_view line) {
  std::string error;
  auto request = ParseDemoPageRequest(line, error);
  EXPECT_EQ(error.empty(), request.has_value()) << line;
  return request;
}

TEST(DemoPageRequest, TakesTheFirstWordAsPinAndTheRestAsMessage) {
  EXPECT_EQ(Parse("1234 Hello world\n"), (DemoPageRequest{"1234", "Hello world"}));
  EXPECT_EQ(Parse("  1234   two  blanks kept \r\n"), (DemoPageRequest{"1234", "two  blanks kept "}));
  EXPECT_EQ(Parse("1234"), (DemoPageRequest{"1234", ""}));
  EXPECT_EQ(Parse("A-7 \"quoted\" \\ ~"), (DemoPageRequest{"A-7", "\"quoted\" \\ ~"}));
  EXPECT_EQ(Parse("1 " + std::string(kMaxPinAndMessage - 1, 'x'))->message.size(), kMaxPinAndMessage - 1);
}

TEST(DemoPageRequest, RefusesWhatOneTapBlockCannotCarry) {
  const std::vector<std::string> bad_lines = {"", "   ", "\n", "12\r34 x", "1234 a\tb", "1234 \x03", "1234 \x7F",
                                              "1234 caf\xC3\xA9", "1234 a\nb",
                                              "1 " + std::string(kMaxPinAndMessage, 'x')};
  for (const std::string& bad : bad_lines) {
    EXPECT_FALSE(Parse(bad)) << bad;
  }
}

TEST(TapVerdict, TheFirstAnswerAfterTheBlockCounts) {
  EXPECT_EQ(FindTapVerdict("Message Submitted For Processing\r\x06\r"), TapVerdict::kAccepted);
  EXPECT_EQ(FindTapVerdict("Message Processing Error - Page Canceled!\r\x1e\r"), TapVerdict::kRefused);
  EXPECT_EQ(FindTapVerdict("Message Rejected - Not A Valid Pin On The System\x1e\r"), TapVerdict::kRefused);
  EXPECT_EQ(FindTapVerdict("Message Rejected - Checksum Error\r\x15\r\x1b[p\r"), TapVerdict::kRejected);
  EXPECT_EQ(FindTapVerdict("\x1e\r then \x06\r"), TapVerdict::kRefused);
  EXPECT_EQ(FindTapVerdict("Message Submitted For Processing\r\x06"), TapVerdict::kNone);  // not all there yet
  EXPECT_EQ(FindTapVerdict("Terminal Disconnect\r\x1b\x04"), TapVerdict::kNone);
}

// The tool serves requests on its socket until terminated, with its modem
// linked as the COM port meanwhile; a request it cannot carry out still gets
// its result line.
TEST(DemoModemTool, AnswersEachRequestWithItsResultAndCleansUp) {
  TempDir root;
  const std::string tool = VLTG_BINARY_DIR "/tools/demo-modem";
  const std::string socket = (root / "modem.sock").string();
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    setenv("VLTG_ROOT", root.Path().c_str(), 1);
    execl(tool.c_str(), tool.c_str(), "--com", "2", "--socket", socket.c_str(), nullptr);
    _exit(127);
  }
  for (int i = 0; i < 500 && !fs::exists(socket); ++i) platform::SleepPumping(10);
  EXPECT_TRUE(fs::is_symlink(root / "devices" / "com2"));
  EXPECT_TRUE(fs::read_symlink(root / "devices" / "com2").string().starts_with("/dev/pts/"));

  // No line has set the modem up: nothing rings.
  ProgramResult result = RunProgram(tool, {"--page", socket, "1234", "Hello", "world"});
  EXPECT_EQ(result.exit_status, 1);
  EXPECT_EQ(result.out,
            "page for 1234: \"Hello world\"\n"
            "result: not sent (the gateway has not set up its modem line on COM2)\n");
  // A request refused before it is sent, and a socket nobody serves.
  result = RunProgram(tool, {"--page", socket, "1234", "tab\there"});
  EXPECT_EQ(result.exit_status, 2);
  EXPECT_EQ(result.err, "demo-modem: only printable ASCII can go in a TAP block\n");
  EXPECT_EQ(RunProgram(tool, {"--page", (root / "none").string(), "1"}).exit_status, 2);

  ASSERT_EQ(kill(pid, SIGTERM), 0);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  EXPECT_FALSE(fs::exists(socket));
  EXPECT_FALSE(fs::is_symlink(root / "devices" / "com2"));
}

}  // namespace
}  // namespace vltg::testing
