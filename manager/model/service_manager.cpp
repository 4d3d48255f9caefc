#include "manager/model/service_manager.h"

#include <chrono>
#include <filesystem>
#include <future>
#include <utility>

#include "gateway/data_directory.h"
#include "gateway/vltap_gateway_service.h"
#include "platform/base/exception.h"
#include "platform/base/system_error.h"
#include "platform/base/whole_file.h"

namespace vltg::manager {

namespace {

// A restart waits this long at most for the gateway to finish its stop (it
// ends the TAP exchanges in progress first), asking every kStopPollMs.
constexpr int kStopWaitMs = 30000;
constexpr int kStopPollMs = 250;
// How often a wait for a service call lets the window's events through.
constexpr std::chrono::milliseconds kEventsEvery{10};

ServiceLook OfflineLook(ServiceLook look) {
  look.icon = 0;
  look.tip = std::string(kManagerTitle) + "[Gateway Off-Line]";
  look.status = "Gateway Off-Line";
  return look;
}

}  // namespace

std::string SystemErrorText(uint32_t code) {
  return "System Error.  Code: " + std::to_string(code) + ".\n" + platform::SystemErrorMessage(code);
}

platform::ScManagerHandle OpenServiceDatabase(MessageSink& sink) {
  platform::ScManagerHandle manager = platform::OpenSCManager();
  if (!manager) sink.ShowBox(SystemErrorText(platform::GetLastError()), BoxKind::kError, BoxButtons::kOk);
  return manager;
}

TVLSGSrvcMngr::BusyScope::BusyScope(TVLSGSrvcMngr& owner) : owner_(owner), was_(owner.FBusy) { Set(true); }

TVLSGSrvcMngr::BusyScope::~BusyScope() { Set(was_); }

void TVLSGSrvcMngr::BusyScope::Set(bool busy) {
  if (owner_.FBusy == busy) return;
  owner_.FBusy = busy;
  if (owner_.OnLookChange) owner_.OnLookChange(owner_);
}

TVLSGSrvcMngr::TVLSGSrvcMngr(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir)
    : FSink(sink), FManager(manager), FHomeDir(std::move(home_dir)) {}

std::string TVLSGSrvcMngr::FilePath(std::string_view name) const { return DataFilePath(FHomeDir, name); }

void TVLSGSrvcMngr::CheckSettingsExist() {
  std::error_code error;
  if (std::filesystem::exists(FilePath(kConfigFileName), error)) return;
  FSink.ShowBox("Settings Not Found! Please Configure Application?", BoxKind::kConfirmation, BoxButtons::kOkHelp, 2);
}

void TVLSGSrvcMngr::FormCreate() {
  RefreshServiceStatus();
  ReportUnreadableFiles();
  LoadServerSettings();
}

void TVLSGSrvcMngr::ReportUnreadableFiles() {
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

platform::ProfileFile TVLSGSrvcMngr::ConfigToLoad() const {
  platform::ProfileFile config(FilePath(kConfigFileName));
  config.OnUnreadable = [](const platform::ProfileFile&, const std::string&) {};
  return config;
}

void TVLSGSrvcMngr::SetLook(const ServiceLook& look) {
  if (look == FLook) return;
  FLook = look;
  if (OnLookChange) OnLookChange(*this);
}

platform::ServiceHandle TVLSGSrvcMngr::OpenGatewayService() const {
  return platform::OpenService(FManager, kGatewayServiceName);
}

void TVLSGSrvcMngr::UpdateServiceStatus(const platform::ServiceHandle* service) {
  ServiceLook look = FLook;
  if (service == nullptr || !*service) {
    look.start = look.stop = look.restart = false;
    look.install = true;
    look.uninstall = look.apply_changes = false;
    look = OfflineLook(look);
  } else {
    platform::ServiceStatus status;
    if (platform::QueryServiceStatus(*service, status)) {
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

void TVLSGSrvcMngr::RefreshServiceStatus() {
  platform::ServiceHandle service = OpenGatewayService();
  UpdateServiceStatus(&service);
}

// A service call that can block (a start waits for the service's first
// status report) runs on a thread of its own while the window's events keep
// flowing here; its last error comes back with it.
bool TVLSGSrvcMngr::WhileEventsFlow(const std::function<bool()>& call) {
  auto outcome = std::async(std::launch::async, [&call] {
    const bool done = call();
    return std::pair(done, platform::GetLastError());
  });
  while (outcome.wait_for(kEventsEvery) != std::future_status::ready) FSink.ProcessMessagesFor(0);
  const auto [done, error] = outcome.get();
  platform::SetLastError(error);
  return done;
}

bool TVLSGSrvcMngr::StartGatewayService() {
  BusyScope busy(*this);
  platform::ServiceHandle service = OpenGatewayService();
  if (!service) return false;
  const bool started = WhileEventsFlow([&service] { return platform::StartService(service); });
  FSink.ProcessMessagesFor(5);
  UpdateServiceStatus(&service);
  return started;
}

bool TVLSGSrvcMngr::StopGatewayService() {
  BusyScope busy(*this);
  platform::ServiceHandle service = OpenGatewayService();
  if (!service) return false;
  platform::ServiceStatus status;
  const bool stopped = WhileEventsFlow(
      [&service, &status] { return platform::ControlService(service, platform::SERVICE_CONTROL_STOP, status); });
  FSink.ProcessMessagesFor(1000);
  UpdateServiceStatus(&service);
  return stopped;
}

bool TVLSGSrvcMngr::WaitUntilStopped() {
  for (int waited = 0;; waited += kStopPollMs) {
    platform::ServiceHandle service = OpenGatewayService();
    platform::ServiceStatus status;
    if (!service || !platform::QueryServiceStatus(service, status)) return false;
    if (status.current_state == platform::SERVICE_STOPPED) {
      UpdateServiceStatus(&service);
      return true;
    }
    if (waited >= kStopWaitMs) return false;
    FSink.ProcessMessagesFor(kStopPollMs);
  }
}

void TVLSGSrvcMngr::Start1Click() {
  if (StartGatewayService()) {
    FSink.ShowBox("Service Started!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Start Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TVLSGSrvcMngr::Stop1Click() {
  if (StopGatewayService()) {
    FSink.ShowBox("Service Stopped!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Stop Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TVLSGSrvcMngr::Timer2Timer() {
  if (!FBusy) RefreshServiceStatus();
}

void TVLSGSrvcMngr::Restart1Click() {
  BusyScope busy(*this);
  const bool restarted = StopGatewayService() && WaitUntilStopped() && StartGatewayService();
  if (restarted) {
    FSink.ShowBox("Service Restarted!", BoxKind::kInformation, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Unable to Restart Service!", BoxKind::kWarning, BoxButtons::kOk);
  }
}

void TVLSGSrvcMngr::RestartPrompt() {
  // Restart reads disabled while an operation runs.
  if (!FLook.restart || FBusy) return;
  FSink.Beep();
  if (FSink.ShowBox("Server Restart Required! Restart Server?!", BoxKind::kWarning, BoxButtons::kYesNo) ==
      BoxAnswer::kYes) {
    Restart1Click();
  }
}

void TVLSGSrvcMngr::ShowHelp(int context) { OpenHelpPage(std::to_string(context) + ".html"); }

void TVLSGSrvcMngr::ShowHelpContents() { OpenHelpPage("index.html"); }

void TVLSGSrvcMngr::OpenHelpPage(const std::string& name) {
  const std::filesystem::path page = std::filesystem::path(FHomeDir) / "help" / name;
  std::error_code error;
  if (std::filesystem::is_regular_file(page, error)) FSink.ShellOpen(page.string());
}

bool TVLSGSrvcMngr::WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes) {
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
