#include "gateway/gateway_log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <utility>
#include <thread>
#include <vector>

#include "platform/messages/message_queue.h"
#include "platform/service/event_log.h"
#include "tests/support/scoped_env.h"
#include "tests/support/run_as_user.h"
#include "tests/support/temp_dir.h"

namespace vltg {
namespace {
namespace fs = std::filesystem;

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

class GatewayLogTest : public ::testing::Test {
 protected:
  vltg::testing::TempDir root_;  // the event log's
  vltg::testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  vltg::testing::TempDir temp_;
  fs::path dir_ = temp_.Path();
  std::tm now_ = At(2026, 12, 9, 14, 5, 7);
};

TEST_F(GatewayLogTest, LinesAreWrittenOnlyWhenTheOwnerPumps) {
  TGatewayLog log(dir_.string(), [this] { return now_; });
  std::thread([poster = log.Poster()] { poster("[System] from a thread"); }).join();
  EXPECT_FALSE(fs::exists(dir_ / "Log.Dat"));
  platform::ProcessMessages();
  EXPECT_EQ(ReadFile(dir_ / "Log.Dat"), "12/09/2026 14:05:07 - [System] from a thread\r\n");
}

TEST_F(GatewayLogTest, OnlyTheFirstLineFeedAndCarriageReturnAreRemoved) {
  TGatewayLog log(dir_.string(), [this] { return now_; });
  log.WriteLine("A\r\nB\r\n");
  EXPECT_EQ(ReadFile(dir_ / "Log.Dat"), "12/09/2026 14:05:07 - AB\r\n\r\n");
}

TEST_F(GatewayLogTest, PostingAfterTheLogIsGoneIsHarmless) {
  LogPoster poster;
  {
    TGatewayLog log(dir_.string(), [this] { return now_; });
    poster = log.Poster();
  }
  poster("lost");
  LogPoster empty;
  empty("also lost");
  EXPECT_FALSE(fs::exists(dir_ / "Log.Dat"));
}

TEST_F(GatewayLogTest, ManyThreadsLoggingLoseAndTearNoLine) {
  TGatewayLog log(dir_.string(), [this] { return now_; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([t, poster = log.Poster()] {
      for (int i = 0; i < 200; ++i) poster("[System] thread " + std::to_string(t) + " line " + std::to_string(i));
    });
  }
  for (auto& th : threads) th.join();
  while (platform::ProcessMessages()) {
  }
  std::set<std::string> lines;
  std::string text = ReadFile(dir_ / "Log.Dat");
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    lines.insert(text.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(lines.size(), 1600u);
  EXPECT_TRUE(lines.count("12/09/2026 14:05:07 - [System] thread 7 line 199"));
}

TEST_F(GatewayLogTest, RotatesAtMidnightAndNeverReplacesAnArchive) {
  TGatewayLog log(dir_.string(), [this] { return now_; });
  log.WriteLine("yesterday");
  now_ = At(2026, 12, 10, 0, 0, 0);
  log.Timer2Timer();
  EXPECT_FALSE(fs::exists(dir_ / "Log.Dat"));
  EXPECT_NE(ReadFile(dir_ / "logs" / "12_10_26.log").find("yesterday"), std::string::npos);

  now_ = At(2026, 12, 10, 0, 0, 30);
  log.WriteLine("after midnight");
  log.Timer2Timer();  // not second 00
  now_ = At(2026, 12, 10, 0, 1, 0);
  log.Timer2Timer();  // the archive exists: nothing moves
  EXPECT_NE(ReadFile(dir_ / "Log.Dat").find("after midnight"), std::string::npos);
  EXPECT_EQ(ReadFile(dir_ / "logs" / "12_10_26.log").find("after midnight"), std::string::npos);

  now_ = At(2026, 12, 10, 1, 0, 0);  // not hour 00
  log.Timer2Timer();
  EXPECT_TRUE(fs::exists(dir_ / "Log.Dat"));
}

TEST_F(GatewayLogTest, TheLogAndItsArchivesAreForOwnerAndGroupOnly) {
  const mode_t previous = umask(022);
  TGatewayLog log(dir_.string(), [this] { return now_; });
  log.WriteLine("PIN and message");
  const auto mode = [](const fs::path& path) { return fs::status(path).permissions() & fs::perms::all; };
  const fs::perms owner_and_group = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  EXPECT_EQ(mode(dir_ / "Log.Dat"), owner_and_group);
  // A log left readable to all by an earlier run is archived for owner and group only.
  fs::permissions(dir_ / "Log.Dat", fs::perms::others_read, fs::perm_options::add);
  now_ = At(2026, 12, 10, 0, 0, 0);
  log.Timer2Timer();
  umask(previous);
  EXPECT_EQ(mode(dir_ / "logs" / "12_10_26.log"), owner_and_group);
}

TEST_F(GatewayLogTest, MissingLogAtMidnightChangesNothing) {
  TGatewayLog log(dir_.string(), [this] { return now_; });
  now_ = At(2026, 1, 2, 0, 0, 0);
  log.Timer2Timer();
  EXPECT_FALSE(fs::exists(dir_ / "logs" / "01_02_26.log"));
  // A later trigger that finds a log still rotates it.
  log.WriteLine("late");
  now_ = At(2026, 1, 2, 0, 7, 0);
  log.Timer2Timer();
  EXPECT_TRUE(fs::exists(dir_ / "logs" / "01_02_26.log"));
}

TEST_F(GatewayLogTest, UnwritableLogLosesTheLineWithoutCrashing) {
  if (geteuid() == 0) {
    // Root writes anywhere: make Log.Dat a directory instead.
    fs::create_directories(dir_ / "Log.Dat");
  } else {
    chmod(dir_.c_str(), 0500);
  }
  TGatewayLog log(dir_.string(), [this] { return now_; });
  log.WriteLine("nowhere to go");
  now_ = At(2026, 1, 2, 0, 0, 0);
  log.Timer2Timer();
  chmod(dir_.c_str(), 0700);
  EXPECT_FALSE(fs::exists(dir_ / "logs" / "01_02_26.log"));
}

// A Log.Dat that cannot be written (a directory in its place stops root too)
// loses its lines and the service goes on; the event log is told once per run
// of failures, with the path and the reason, and once when the log is written
// again. A rotation that cannot move the log is told the same way.
TEST_F(GatewayLogTest, AnUnwritableLogIsToldToTheEventLogOncePerRunOfFailures) {
  const fs::path log_dat = dir_ / "Log.Dat", archive = dir_ / "logs" / "01_02_26.log";
  TGatewayLog log(dir_.string(), [this] { return now_; });
  // Each step: Log.Dat a directory or not, two lines, a rotation at minute m.
  for (const auto& [broken, minute] : {std::pair{true, 0}, {true, 1}, {false, 2}, {true, 3}}) {
    if (broken) fs::create_directories(log_dat);
    if (!broken) fs::remove(log_dat);
    log.WriteLine("one");
    log.WriteLine("two");
    now_ = At(2026, 1, 2, 0, minute, 0);
    log.Timer2Timer();
  }
  EXPECT_NE(ReadFile(archive).find("two"), std::string::npos);

  std::vector<std::pair<uint16_t, std::string>> told;
  for (const auto& entry : platform::ReadEventLog()) told.emplace_back(entry.type, entry.source + ": " + entry.text);
  const std::string reason = log_dat.string() + ": Not a regular file";
  const uint16_t error = platform::EVENTLOG_ERROR_TYPE, information = platform::EVENTLOG_INFORMATION_TYPE;
  EXPECT_EQ(told, (std::vector<std::pair<uint16_t, std::string>>{
                      {error, "VLTAPGateway: Log.Dat cannot be written: " + reason},
                      {error, "VLTAPGateway: Log.Dat cannot be moved to the logs directory: " + reason},
                      {information, "VLTAPGateway: Log.Dat is written again: " + log_dat.string()},
                      {information, "VLTAPGateway: Log.Dat is moved to the logs directory again: " + archive.string()},
                      {error, "VLTAPGateway: Log.Dat cannot be written: " + reason},
                  }));
}

// Log.Dat and the archives go through a link only when it is the gateway's
// user's or root's, and never into anything but a regular file.
TEST_F(GatewayLogTest, NoLineOrArchiveGoesThroughALinkOfAnotherUserOrIntoASpecialFile) {
  const struct {
    const char* link;    // in the data directory: Log.Dat or logs
    const char* target;  // outside: a FIFO "fifo", a directory "dir", else a file
    bool foreign;        // the link is another user's (made only as root)
  } rows[] = {{"Log.Dat", "file", true}, {"Log.Dat", "fifo", false}, {"Log.Dat", "file", false},
              {"logs", "dir", true},     {"logs", "dir", false}};
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.link) + (row.foreign ? " of another user to " : " to ") + row.target);
    if (row.foreign && !vltg::testing::RunningAsRoot()) continue;
    vltg::testing::TempDir data, outside;
    const fs::path target = outside / row.target, link = data / row.link;
    if (row.target == std::string("fifo")) ASSERT_EQ(::mkfifo(target.c_str(), 0600), 0);
    if (row.target == std::string("dir")) fs::create_directory(target);
    if (row.target == std::string("file")) outside.Write(row.target, "kept\n");
    fs::create_symlink(target, link);
    const auto user = vltg::testing::TheOrdinaryUser();
    if (row.foreign) ASSERT_EQ(::lchown(link.c_str(), user.uid, user.gid), 0);
    TGatewayLog log(data.Path().string(), [this] { return now_; });
    log.WriteLine("PIN 1234");
    now_ = At(2026, 12, 10, 0, 0, 0);
    log.Timer2Timer();
    const bool followed = !row.foreign && row.target != std::string("fifo");
    if (row.target == std::string("fifo")) EXPECT_TRUE(fs::is_fifo(target));
    if (row.target == std::string("file")) EXPECT_EQ(ReadFile(target) == "kept\n", !followed);
    if (row.target == std::string("dir")) EXPECT_EQ(fs::exists(target / "12_10_26.log"), followed);
    // Rotated only when the line went where the link leads (a rotated Log.Dat
    // goes, link and all).
    EXPECT_EQ(fs::exists(data / "logs" / "12_10_26.log"), followed);
    EXPECT_EQ(fs::is_symlink(link), row.link == std::string("logs") || !followed);
  }
}

}  // namespace
}  // namespace vltg
