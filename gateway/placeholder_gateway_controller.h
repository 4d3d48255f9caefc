#pragma once
// TPlaceholderGatewayController stands in for the gateway controller
// (TVLTAPGatewayMain) until that is built: it serves no port and no link,
// and only writes the controller's start and stop lines to Log.Dat, so the
// service program can be installed, run and stopped end to end.
#include <string>

#include "gateway/gateway_controller.h"
#include "gateway/gateway_log.h"

namespace vltg {

class TPlaceholderGatewayController : public TGatewayController {
 public:
  // Logs "TAP Gateway Server Starting".
  explicit TPlaceholderGatewayController(const std::string& home_dir);

  bool StartServices() override;
  void StopServices() override;
  bool GetStopped() const override { return false; }
  void PostLog(const std::string& text) override { log_.PostLog(text); }

 private:
  TGatewayLog log_;
};

}  // namespace vltg
