#pragma once
// The gateway's log. Any thread posts a line; only the thread that owns the
// log (the service thread) writes Log.Dat, one line per message, with the
// local date and time in front. Once a day, just after midnight, Log.Dat
// moves to logs/MM_DD_YY.log. A log that cannot be written or moved is told
// to the event log, once per run of failures, and so is its recovery.
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "platform/messages/message_queue.h"
#include "platform/messages/timer.h"

namespace vltg {

// The local wall-clock time; injectable so tests can stand at midnight.
using LocalTimeSource = std::function<std::tm()>;
std::tm CurrentLocalTime();

// "MM/DD/YYYY HH:MM:SS", 24-hour: unambiguous, and it sorts within a day.
std::string FormatLogTime(const std::tm& time);

// What threads hold to log: a cheap copy that stays harmless when the log
// is gone (the line is then dropped).
class LogPoster {
 public:
  LogPoster() = default;
  void operator()(const std::string& text) const;

 private:
  friend class TGatewayLog;
  struct Pending {
    std::mutex mutex;
    std::deque<std::string> lines;
  };
  LogPoster(std::shared_ptr<Pending> pending, platform::TargetRef target)
      : pending_(std::move(pending)), target_(std::move(target)) {}
  std::shared_ptr<Pending> pending_;
  platform::TargetRef target_;
};

class TGatewayLog {
 public:
  static constexpr uint32_t WM_LOGLINE = 1627;

  // Created on the thread that is to write the file.
  explicit TGatewayLog(std::string home_dir, LocalTimeSource now = CurrentLocalTime);
  TGatewayLog(const TGatewayLog&) = delete;
  TGatewayLog& operator=(const TGatewayLog&) = delete;

  // From any thread.
  void PostLog(const std::string& text) const { poster_(text); }
  LogPoster Poster() const { return poster_; }

  // Appends one line to Log.Dat now (the handler of a posted line). The first
  // LF and then the first CR of the text are removed; a file that cannot be
  // opened or written loses the line.
  void WriteLine(std::string text);
  // The one-second check: at hour 00, second 00, rotate unless today's
  // archive exists. A failed copy leaves Log.Dat in place.
  void Timer2Timer();

  const std::string& HomeDir() const { return home_dir_; }

 private:
  intptr_t HandleMessage(uint32_t msg);
  // The end of a rotation that moved Log.Dat to `archive`, or failed as `failure` says.
  void RotationDone(bool ok, const std::string& failure, const std::filesystem::path& archive);

  std::string home_dir_;
  LocalTimeSource now_;
  std::shared_ptr<LogPoster::Pending> pending_;
  platform::MessageTarget window_;
  LogPoster poster_;
  platform::Timer timer2_;
  bool write_failing_ = false;
  bool rotation_failing_ = false;
};

}  // namespace vltg
