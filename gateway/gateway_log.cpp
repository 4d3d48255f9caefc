#include "gateway/gateway_log.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "datafiles/data_directory.h"
#include "datafiles/service_names.h"
#include "platform/base/whole_file.h"
#include "platform/service/event_log.h"

namespace vltg {
namespace fs = std::filesystem;
namespace {

// The service runs on with a log that cannot be written (a data directory it
// may not write, a full disk): nothing else would tell. `failing` says whether
// the log is in a run of failures, which `ok` ends or a failure starts; the
// texts are made only then, not for every line.
template <typename Failure, typename Recovery>
void TellEventLog(bool& failing, bool ok, Failure failure, Recovery recovery) {
  if (ok != failing) return;
  failing = !ok;
  platform::ReportEvent(kGatewayServiceName, ok ? platform::EVENTLOG_INFORMATION_TYPE : platform::EVENTLOG_ERROR_TYPE,
                        ok ? recovery() : failure());
}

}  // namespace

std::tm CurrentLocalTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

std::string FormatLogTime(const std::tm& t) {
  char text[64];
  std::snprintf(text, sizeof text, "%02d/%02d/%04d %02d:%02d:%02d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900,
                t.tm_hour, t.tm_min, t.tm_sec);
  return text;
}

void LogPoster::operator()(const std::string& text) const {
  if (!pending_) return;
  {
    std::lock_guard lock(pending_->mutex);
    pending_->lines.push_back(text);
  }
  if (!target_.Post(TGatewayLog::WM_LOGLINE)) {
    // Nobody will write it: the line is lost, as a failed post loses it.
    std::lock_guard lock(pending_->mutex);
    if (!pending_->lines.empty()) pending_->lines.pop_back();
  }
}

TGatewayLog::TGatewayLog(std::string home_dir, LocalTimeSource now)
    : home_dir_(std::move(home_dir)),
      now_(std::move(now)),
      pending_(std::make_shared<LogPoster::Pending>()),
      window_([this](uint32_t msg, uintptr_t, intptr_t) { return HandleMessage(msg); }),
      poster_(pending_, window_.Ref()),
      timer2_(1000, [this] { Timer2Timer(); }) {
  timer2_.SetEnabled(true);
}

intptr_t TGatewayLog::HandleMessage(uint32_t msg) {
  if (msg != WM_LOGLINE) return 0;
  std::string text;
  {
    std::lock_guard lock(pending_->mutex);
    if (pending_->lines.empty()) return 0;
    text = std::move(pending_->lines.front());
    pending_->lines.pop_front();
  }
  WriteLine(std::move(text));
  return 0;
}

void TGatewayLog::WriteLine(std::string text) {
  if (auto lf = text.find('\n'); lf != std::string::npos) text.erase(lf, 1);
  if (auto cr = text.find('\r'); cr != std::string::npos) text.erase(cr, 1);
  const fs::path path = DataFilePath(home_dir_, kLogFileName);
  std::string why;
  const bool ok = platform::AppendToFile(path, FormatLogTime(now_()) + " - " + text + "\r\n", platform::kPrivateFileMode, &why);
  TellEventLog(
      write_failing_, ok, [&] { return "Log.Dat cannot be written: " + why; },
      [&] { return "Log.Dat is written again: " + path.string(); });
}

void TGatewayLog::RotationDone(bool ok, const std::string& failure, const fs::path& archive) {
  TellEventLog(
      rotation_failing_, ok, [&] { return "Log.Dat cannot be moved to the logs directory: " + failure; },
      [&] { return "Log.Dat is moved to the logs directory again: " + archive.string(); });
}

void TGatewayLog::Timer2Timer() {
  const std::tm now = now_();
  if (now.tm_hour != 0 || now.tm_sec != 0) return;
  char name[64];
  std::snprintf(name, sizeof name, "%02d_%02d_%02d.log", now.tm_mon + 1, now.tm_mday, now.tm_year % 100);
  fs::path logs;
  try {
    // The archives go nowhere a link of another user leads.
    logs = platform::FollowTrustedLinks(DataFilePath(home_dir_, kLogsDirectoryName));
  } catch (const platform::EFileError& e) {
    RotationDone(false, e.Message(), DataFilePath(home_dir_, kLogsDirectoryName));
    return;
  }
  const fs::path archive = logs / name;
  std::error_code ec;
  if (fs::exists(archive, ec)) return;
  // Nothing logged since the last rotation: nothing to move, nothing failed.
  const fs::path current = DataFilePath(home_dir_, kLogFileName);
  if (fs::symlink_status(current, ec).type() == fs::file_type::not_found) return;
  fs::create_directories(logs, ec);
  // Copy beside the archive first, so a failed copy never leaves a partial
  // archive that would stop the day's rotation for good.
  const fs::path partial = logs / (std::string(".") + name + ".part");
  std::string why;
  if (!platform::CopyFileAs(current, partial, platform::kPrivateFileMode, &why)) {
    fs::remove(partial, ec);
    RotationDone(false, why, archive);
    return;
  }
  fs::rename(partial, archive, ec);
  if (ec) {
    const std::string failure = archive.string() + ": " + ec.message();
    fs::remove(partial, ec);
    RotationDone(false, failure, archive);
    return;
  }
  // Left in place, it would be archived again with the next day's lines.
  fs::remove(current, ec);
  RotationDone(!ec, current.string() + ": " + ec.message(), archive);
}

}  // namespace vltg
