// The direct-access modem script: command lines sent on a call's port after
// it is attached, each answered by the modem, until one connects.
#include <algorithm>
#include <cctype>
#include <ctime>
#include <exception>
#include <memory>

#include "engines/log_file.h"
#include "engines/tapi_line_core.h"
#include "engines/time_counter.h"
#include "platform/base/exception.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

constexpr int64_t kScriptReadMs = 1000;

std::string Upper(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::toupper(c); });
  return text;
}

}  // namespace

void TTapiLineCore::RunDirectAccessScript() {
  FScriptError.clear();
  if (FDevIdToInitialize == kNoDevice) throw Exception("TAPILine: You must select TAPI compatible line");
  std::unique_ptr<TLogFile> log;
  if (!FDirectAccessLogFile.empty()) {
    log = std::make_unique<TLogFile>();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    log->Add("TAPILine logfile: ", TLogFile::Stamp(local));
  }
  auto note = [&](const std::string& text, const std::string& detail) {
    if (log) log->Add(text, detail);
  };
  auto save = [&] {
    if (!log) return;
    try {
      log->SaveToFile(FDirectAccessLogFile);
    } catch (const std::exception&) {
    }
    log.reset();
  };

  std::string response;
  const auto& script = FDirectAccessScript;
  for (size_t i = 0; i < script.size(); ++i) {
    const std::string& line = script[i];
    const bool last = i + 1 == script.size();
    note("Write (send command to modem)", line + "\r\n");
    SendText(line + "\r\n");
    // Each answer is waited for at most Timeout seconds.
    TTimeCounter counter;
    counter.FStartValue = static_cast<int32_t>(std::min<uint32_t>(FTimeout, INT32_MAX));
    counter.FExpired = false;
    counter.Start();
    while (!FDropping) {
      platform::SleepPumping(kScriptReadMs);
      std::string arrived;
      ReadAvailable(0, arrived);
      response += arrived;
      note("Read (command in process)", response);
      const std::string upper = Upper(response);
      if (upper.find("OK") != std::string::npos) {
        note("Command complete (OK received)", "");
        response.clear();
        if (!last) break;
        continue;
      }
      if (upper.find("CONNECT") != std::string::npos) {
        note("Connected! (conection esteblished)", "");
        save();
        FComm.Purge(platform::SerialPurge::kBoth);
        return;
      }
      const bool bad = upper.find("ERROR") != std::string::npos || upper.find("NO ") != std::string::npos;
      if (bad || counter.FExpired) {
        note(bad ? "Error (modem return bad response)" : "Timeout (no response from modem)", "");
        FComm.Purge(platform::SerialPurge::kBoth);
        save();
        FScriptError = "TAPILine: Device direct access script error: \"" + line + "\".\r\n" + response;
        throw Exception(FScriptError);
      }
    }
    counter.Stop();
  }
  if (FDropping) note(ScriptHangUpText(), response);
  save();
}

}  // namespace vltg
