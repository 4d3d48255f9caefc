#pragma once
// The gateway's service, VLTAPGateway ("DI DIZ Evevevu"): its identity as it
// is installed, its control handler, and its execute handler, which runs the
// gateway controller in the service thread until it is told to stop.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "datafiles/service_names.h"
#include "gateway/gateway_controller.h"
#include "platform/service/service.h"

namespace vltg {

class TVLTAPGateway : public platform::TService {
 public:
  // Own process and interactive (0x110), automatic start, normal error
  // control, the local system account, stop accepted, wait hint 5000 ms.
  // Becomes the process's one instance, VLTAPGateway.
  TVLTAPGateway();
  ~TVLTAPGateway() override;

  platform::ServiceControllerFunction GetServiceController() const override;

  // The execute handler (OnExecute).
  void VLSNPPGatewayExecute(platform::TService& sender);

  // How the execute handler makes the controller; the gateway controller
  // unless set.
  void SetControllerFactory(GatewayControllerFactory factory) { controller_factory_ = std::move(factory); }

 private:
  GatewayControllerFactory controller_factory_;
};

// The one service instance of the process.
extern std::atomic<TVLTAPGateway*> VLTAPGateway;
// The controller while the execute handler runs; empty otherwise.
extern std::atomic<TGatewayController*> VLTAPGatewayMain;

// The control handler given to the service layer: forwards the code to the
// one instance, which queues it to the service thread.
void ServiceController(uint32_t control);

}  // namespace vltg
