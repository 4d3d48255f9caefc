// fake-service: a service program for the service layer's tests. What it
// does is chosen by FAKE_SERVICE_MODE:
//   (empty)        runs until stopped
//   no-stop        runs, but does not accept stop
//   throw          its execute handler throws "boom"
//   error-code     its execute handler returns at once with its own error 42
//   no-dispatcher  never connects to the service layer, sleeps
//   exit           ends at once without connecting
//   gateway-throw  the gateway service, whose controller fails to start
// Before it serves, it writes "fake-service.txt" into its working directory:
// pid, working directory and whether the channel variable is still set.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "gateway/vltap_gateway_controller.h"
#include "gateway/vltap_gateway_service.h"
#include "platform/messages/message_queue.h"
#include "platform/service/service_application.h"

namespace {

std::string Mode() {
  const char* mode = std::getenv("FAKE_SERVICE_MODE");
  return mode ? mode : "";
}

void WriteReport() {
  std::ofstream out("fake-service.txt");
  out << "pid=" << ::getpid() << "\n";
  out << "cwd=" << std::filesystem::current_path().string() << "\n";
  out << "channel=" << (std::getenv("VLTG_SERVICE_CHANNEL") ? "set" : "unset") << "\n";
}

void FakeServiceController(uint32_t control);

class TFakeService : public vltg::platform::TService {
 public:
  TFakeService() : TService("FakeService", "Fake Service") {}
  vltg::platform::ServiceControllerFunction GetServiceController() const override { return &FakeServiceController; }
};

TFakeService* g_service = nullptr;

void FakeServiceController(uint32_t control) { g_service->Controller(control); }

class TFailingController : public vltg::TVLTAPGatewayMain {
 public:
  using TVLTAPGatewayMain::TVLTAPGatewayMain;
  bool StartServices() override { throw std::runtime_error("no ports"); }
};

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = Mode();
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (mode == "exit") return 0;
  if (mode == "no-dispatcher") {
    WriteReport();
    std::this_thread::sleep_for(std::chrono::seconds(30));
    return 0;
  }
  vltg::platform::TServiceApplication application;
  if (mode == "gateway-throw") {
    vltg::TVLTAPGateway gateway;
    gateway.SetControllerFactory([](vltg::platform::TService& owner, const std::string& home) {
      return std::make_unique<TFailingController>(&owner, home);
    });
    application.CreateService(gateway);
    return application.Run(args);
  }
  TFakeService service;
  g_service = &service;
  service.SetAllowStop(mode != "no-stop");
  service.OnExecute = [&mode](vltg::platform::TService& sender) {
    WriteReport();
    if (mode == "throw") throw std::runtime_error("boom");
    if (mode == "error-code") {
      sender.SetErrCode(42);
      return;
    }
    const std::filesystem::path home = std::filesystem::current_path();
    while (!sender.GetTerminated()) {
      // Its test is gone (the directory with it): nobody is left to stop it.
      if (!std::filesystem::exists(home)) break;
      sender.ProcessRequests(false);
      vltg::platform::SleepPumping(5);
    }
  };
  application.CreateService(service);
  return application.Run(args);
}
