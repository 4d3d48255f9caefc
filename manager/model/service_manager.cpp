#include "manager/model/service_manager.h"

#include <filesystem>
#include <utility>

#include "gateway/data_directory.h"
#include "gateway/vltap_gateway_service.h"
#include "platform/base/exception.h"
#include "platform/base/system_error.h"

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

std::string SystemErrorText(uint32_t code) {
  return "System Error.  Code: " + std::to_string(code) + ".\n" + platform::SystemErrorMessage(code);
}

class TVLSGSrvcMngr::BusyScope {
 public:
  explicit BusyScope(TVLSGSrvcMngr& owner) : owner_(owner), was_(owner.FBusy) { Set(true); }
  ~BusyScope() { Set(was_); }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  void Set(bool busy) {
    if (owner_.FBusy == busy) return;
    owner_.FBusy = busy;
    if (owner_.OnLookChange) owner_.OnLookChange(owner_);
  }
  TVLSGSrvcMngr& owner_;
  bool was_;
};

TVLSGSrvcMngr::TVLSGSrvcMngr(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir)
    : FSink(sink), FManager(manager), FHomeDir(std::move(home_dir)) {}

std::string TVLSGSrvcMngr::FilePath(std::string_view name) const { return DataFilePath(FHomeDir, name); }

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

bool TVLSGSrvcMngr::StartGatewayService() {
  BusyScope busy(*this);
  platform::ServiceHandle service = OpenGatewayService();
  if (!service) return false;
  const bool started = platform::StartService(service);
  FSink.ProcessMessagesFor(5);
  UpdateServiceStatus(&service);
  return started;
}

bool TVLSGSrvcMngr::StopGatewayService() {
  BusyScope busy(*this);
  platform::ServiceHandle service = OpenGatewayService();
  if (!service) return false;
  platform::ServiceStatus status;
  const bool stopped = platform::ControlService(service, platform::SERVICE_CONTROL_STOP, status);
  FSink.ProcessMessagesFor(1000);
  UpdateServiceStatus(&service);
  return stopped;
}

bool TVLSGSrvcMngr::WaitUntilStopped() {
  for (int waited = 0;; waited += kStopPollMs) {
    platform::ServiceHandle service = OpenGatewayService();
    platform::ServiceStatus status;
    if (!service || !platform::QueryServiceStatus(service, status)) return false;
    if (status.current_state == platform::SERVICE_STOPPED) return true;
    if (waited >= kStopWaitMs) return false;
    FSink.ProcessMessagesFor(kStopPollMs);
  }
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
  if (!FLook.restart) return;
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
    writes(config);
    return true;
  } catch (const Exception& e) {
    FSink.ShowBox(e.Message(), BoxKind::kError, BoxButtons::kOk);
    return false;
  }
}

}  // namespace vltg::manager
