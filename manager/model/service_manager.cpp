#include "manager/model/service_manager.h"

#include <filesystem>
#include <memory>
#include <utility>

#include "datafiles/data_directory.h"
#include "datafiles/service_names.h"
#include "platform/base/exception.h"
#include "platform/base/system_error.h"
#include "platform/base/whole_file.h"

namespace vltg::manager {

namespace {

// A restart waits this long at most for the gateway to finish its stop (it
// ends the TAP exchanges in progress first), asking every kStopPollMs.
constexpr int kStopWaitMs = 30000;
constexpr int kStopPollMs = 250;

ServiceLook OfflineLook(ServiceLook look) {
  look.icon = 0;
  look.tip = std::string(kManagerTitle) + "[Gateway Off-Line]";
  look.status = "Gateway Off-Line";
  return look;
}

}  // namespace

platform::ServiceHandle OpenGatewayService(const platform::ScManagerHandle& manager) {
  return platform::OpenService(manager, kGatewayServiceName);
}

ServiceReading ReadServiceStatus(const platform::ServiceHandle& service) {
  ServiceReading reading;
  if (!service) return reading;
  reading.installed = true;
  reading.queried = platform::QueryServiceStatus(service, reading.status);
  if (!reading.queried) reading.error = platform::GetLastError();
  return reading;
}

ServiceReading ReadGatewayService(const platform::ScManagerHandle& manager) {
  return ReadServiceStatus(OpenGatewayService(manager));
}

std::string SystemErrorText(uint32_t code) {
  return "System Error.  Code: " + std::to_string(code) + ".\n" + platform::SystemErrorMessage(code);
}

platform::ScManagerHandle OpenServiceDatabase(MessageSink& sink) {
  platform::ScManagerHandle manager = platform::OpenSCManager();
  if (!manager) sink.ShowBox(SystemErrorText(platform::GetLastError()), BoxKind::kError, BoxButtons::kOk);
  return manager;
}

TServiceManager::BusyScope::BusyScope(TServiceManager& owner) : owner_(owner), was_(owner.FBusy) {
  if (!was_) ++owner_.FOperations;
  Set(true);
}

// The outermost operation's end is where an Exit asked for during it ends
// the program.
TServiceManager::BusyScope::~BusyScope() {
  Set(was_);
  if (!was_ && owner_.FExiting && owner_.OnExit) owner_.OnExit(owner_);
}

void TServiceManager::BusyScope::Set(bool busy) {
  if (owner_.FBusy == busy) return;
  owner_.FBusy = busy;
  if (owner_.OnLookChange) owner_.OnLookChange(owner_);
}

TServiceManager::TServiceManager(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir,
                                 BackgroundRunner& runner)
    : FSink(sink), FManager(manager), FHomeDir(std::move(home_dir)), FRunner(runner) {
  FLook.install = false;  // nothing is offered before the first reading
}

std::string TServiceManager::FilePath(std::string_view name) const { return DataFilePath(FHomeDir, name); }

void TServiceManager::CheckSettingsExist() {
  std::error_code error;
  if (std::filesystem::exists(FilePath(kConfigFileName), error)) return;
  FSink.ShowBox("Settings Not Found! Please Configure Application?", BoxKind::kConfirmation, BoxButtons::kOkHelp, 2);
}

void TServiceManager::WindowCreated() {
  PollStatus();
  ReportUnreadableFiles();
  LoadServerSettings();
}

void TServiceManager::ReportUnreadableFiles() {
  std::string reasons;
  for (const std::string_view name : {kConfigFileName, kRouteFileName}) {
    try {
      platform::ReadWholeFile(FilePath(name));
    } catch (const platform::EFileError& e) {
      reasons += (reasons.empty() ? "" : "\n") + e.Message();
    }
  }
  if (!reasons.empty()) FSink.ShowBox(reasons, BoxKind::kError, BoxButtons::kOk);
}

platform::ProfileFile TServiceManager::ConfigToLoad() const {
  platform::ProfileFile config(FilePath(kConfigFileName));
  config.OnUnreadable = [](const platform::ProfileFile&, const std::string&) {};
  return config;
}

void TServiceManager::SetLook(const ServiceLook& look) {
  if (look == FLook) return;
  FLook = look;
  if (OnLookChange) OnLookChange(*this);
}

void TServiceManager::UpdateServiceStatus(const ServiceReading& reading) {
  ServiceLook look = FLook;
  if (!reading.installed) {
    look.start = look.stop = look.restart = false;
    look.install = true;
    look.uninstall = look.apply_changes = false;
    look = OfflineLook(look);
  } else {
    if (reading.queried) {
      const platform::ServiceStatus& status = reading.status;
      if (status.current_state == platform::SERVICE_RUNNING) {
        look.start = false;
        look.stop = look.restart = true;
        look.icon = 1;
        look.tip = std::string(kManagerTitle) + "[Gateway On-Line]";
        look.status = "Gateway On-Line";
      } else if (status.current_state == platform::SERVICE_STOPPED) {
        look.start = true;
        look.stop = look.restart = false;
        look = OfflineLook(look);
      }
    }
    // Pending states and a failing query change only the installed enabling.
    look.install = false;
    look.uninstall = look.apply_changes = true;
  }
  SetLook(look);
  FSink.ProcessMessagesFor(0);
}

void TServiceManager::RefreshServiceStatus() { UpdateServiceStatus(OffWindow(ReadGatewayService)); }

// Start and stop: nothing when the service cannot be opened, else whether
// the service layer took the request.
bool TServiceManager::StartGatewayService() {
  BusyScope busy(*this);
  const std::optional<bool> started = OffWindow([](const platform::ScManagerHandle& manager) -> std::optional<bool> {
    const platform::ServiceHandle service = OpenGatewayService(manager);
    if (!service) return std::nullopt;
    return platform::StartService(service);
  });
  if (!started) return false;
  FSink.ProcessMessagesFor(5);
  RefreshServiceStatus();
  return *started;
}

bool TServiceManager::StopGatewayService() {
  BusyScope busy(*this);
  const std::optional<bool> stopped = OffWindow([](const platform::ScManagerHandle& manager) -> std::optional<bool> {
    const platform::ServiceHandle service = OpenGatewayService(manager);
    if (!service) return std::nullopt;
    platform::ServiceStatus status;
    return platform::ControlService(service, platform::SERVICE_CONTROL_STOP, status);
  });
  if (!stopped) return false;
  FSink.ProcessMessagesFor(1000);
  RefreshServiceStatus();
  return *stopped;
}

bool TServiceManager::WaitUntilStopped() {
  for (int waited = 0;; waited += kStopPollMs) {
    const ServiceReading reading = OffWindow(ReadGatewayService);
    if (!reading.installed || !reading.queried) return false;
    if (reading.status.current_state == platform::SERVICE_STOPPED) {
      UpdateServiceStatus(reading);
      return true;
    }
    if (waited >= kStopWaitMs) return false;
    FSink.ProcessMessagesFor(kStopPollMs);
  }
}

void TServiceManager::Start() {
  BusyScope busy(*this);
  if (StartGatewayService()) {
    FSink.ShowBox("Service Started!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Start Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TServiceManager::Stop() {
  BusyScope busy(*this);
  if (StopGatewayService()) {
    FSink.ShowBox("Service Stopped!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Stop Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TServiceManager::PollStatus() {
  if (FBusy || FPolling || FExiting) return;
  FPolling = true;
  // The work holds its own copy of the database handle, and the reading
  // lives as long as either side needs it.
  auto reading = std::make_shared<ServiceReading>();
  FRunner.Run([reading, manager = FManager] { *reading = ReadGatewayService(manager); },
              [this, reading, begun = FOperations] {
                FPolling = false;
                if (!FBusy && begun == FOperations) UpdateServiceStatus(*reading);
              });
}

void TServiceManager::Exit() {
  FExiting = true;
  if (!FBusy && OnExit) OnExit(*this);
}

void TServiceManager::Restart() {
  BusyScope busy(*this);
  const bool restarted = StopGatewayService() && WaitUntilStopped() && StartGatewayService();
  if (restarted) {
    FSink.ShowBox("Service Restarted!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Restart Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TServiceManager::RestartPrompt() {
  // Restart reads disabled while an operation runs.
  if (!FLook.restart || FBusy) return;
  FSink.Beep();
  if (FSink.ShowBox("Server Restart Required! Restart Server?!", BoxKind::kWarning, BoxButtons::kYesNo) ==
      BoxAnswer::kYes) {
    Restart();
  }
}

void TServiceManager::ShowHelp(int context) { OpenHelpPage(std::to_string(context) + ".html"); }

void TServiceManager::ShowHelpContents() { OpenHelpPage("index.html"); }

void TServiceManager::OpenHelpPage(const std::string& name) {
  const std::filesystem::path page = std::filesystem::path(FHomeDir) / "help" / name;
  std::error_code error;
  if (std::filesystem::is_regular_file(page, error)) FSink.ShellOpen(page.string());
}

bool TServiceManager::WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes) {
  platform::ProfileFile config(FilePath(kConfigFileName));
  try {
    config.Update(writes);
    return true;
  } catch (const Exception& e) {
    FSink.ShowBox(e.Message(), BoxKind::kError, BoxButtons::kOk);
    return false;
  }
}

}  // namespace vltg::manager
