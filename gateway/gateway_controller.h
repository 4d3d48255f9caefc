#pragma once
// What the service's execute handler needs of the gateway controller. The
// controller is created in the service thread with its data directory, and
// that thread serves it: its log lines and timer are messages of the thread,
// handled by the request pump the execute loop runs every pass.
#include <functional>
#include <memory>
#include <string>

#include "platform/service/service.h"

namespace vltg {

class TGatewayController {
 public:
  virtual ~TGatewayController() = default;
  // Opens the TNPP link and starts the TAP port threads; true when started.
  virtual bool StartServices() = 0;
  // Ends the threads, closes the link and writes out the shutdown lines.
  virtual void StopServices() = 0;
  // FStopped: the controller has been closed; the execute loop then ends.
  virtual bool GetStopped() const = 0;
  // Logs a line from any thread.
  virtual void PostLog(const std::string& text) = 0;
};

// Makes the controller in the calling (service) thread.
using GatewayControllerFactory =
    std::function<std::unique_ptr<TGatewayController>(platform::TService& owner, const std::string& home_dir)>;

}  // namespace vltg
