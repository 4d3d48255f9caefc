#include "gateway/vltap_gateway_service.h"

#include <exception>

#include "datafiles/data_directory.h"
#include "gateway/vltap_gateway_controller.h"
#include "platform/messages/message_queue.h"

namespace vltg {

std::atomic<TVLTAPGateway*> VLTAPGateway{nullptr};
std::atomic<TGatewayController*> VLTAPGatewayMain{nullptr};

namespace {

constexpr char kStarted[] = "DI DIZ Evevevu Strated";
constexpr char kStopped[] = "DI DIZ Evevevu Stopped";
constexpr char kStopping[] = "[System] Stopping DI DIZ Evevevu Services";

std::unique_ptr<TGatewayController> MakeController(platform::TService& owner, const std::string& home_dir) {
  return std::make_unique<TVLTAPGatewayMain>(&owner, home_dir);
}

}  // namespace

void ServiceController(uint32_t control) {
  if (TVLTAPGateway* service = VLTAPGateway.load()) service->Controller(control);
}

TVLTAPGateway::TVLTAPGateway()
    : TService(kGatewayServiceName, kGatewayDisplayName), controller_factory_(MakeController) {
  SetServiceType(platform::SERVICE_WIN32_OWN_PROCESS | platform::SERVICE_INTERACTIVE_PROCESS);
  SetStartType(platform::SERVICE_AUTO_START);
  SetErrorSeverity(platform::SERVICE_ERROR_NORMAL);
  SetAllowStop(true);
  SetWaitHint(5000);
  OnExecute = [this](platform::TService& sender) { VLSNPPGatewayExecute(sender); };
  VLTAPGateway = this;
}

TVLTAPGateway::~TVLTAPGateway() {
  TVLTAPGateway* self = this;
  VLTAPGateway.compare_exchange_strong(self, nullptr);
}

platform::ServiceControllerFunction TVLTAPGateway::GetServiceController() const { return &ServiceController; }

void TVLTAPGateway::VLSNPPGatewayExecute(platform::TService& sender) {
  std::unique_ptr<TGatewayController> controller = controller_factory_(sender, DataDirectory());
  VLTAPGatewayMain = controller.get();

  // From here the stop step runs exactly once, whatever happens.
  std::exception_ptr failure;
  try {
    controller->StartServices();
    controller->PostLog(std::string("[System] ") + kStarted);
    sender.LogMessage(kStarted, platform::EVENTLOG_INFORMATION_TYPE);
    // Control requests, log lines and the rotation timer each end the wait.
    for (;;) {
      if (sender.GetTerminated()) break;
      sender.ProcessRequests(true);
      if (controller->GetStopped()) break;
    }
  } catch (...) {
    failure = std::current_exception();
  }

  struct ClearMain {
    ~ClearMain() { VLTAPGatewayMain = nullptr; }
  } clear_main;
  controller->PostLog(kStopping);
  controller->StopServices();
  VLTAPGatewayMain = nullptr;
  controller.reset();
  sender.LogMessage(kStopped, platform::EVENTLOG_INFORMATION_TYPE);
  sender.ProcessRequests(false);
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vltg
