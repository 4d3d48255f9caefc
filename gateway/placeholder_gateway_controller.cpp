#include "gateway/placeholder_gateway_controller.h"

#include "platform/messages/message_queue.h"

namespace vltg {

TPlaceholderGatewayController::TPlaceholderGatewayController(const std::string& home_dir) : log_(home_dir) {
  PostLog("TAP Gateway Server Starting");
}

bool TPlaceholderGatewayController::StartServices() {
  PostLog("[System] TAP Gateway Start Requested!");
  platform::ProcessMessages();
  PostLog("[System] Starting TAP Services!");
  PostLog("[System] All Services Active!");
  return true;
}

void TPlaceholderGatewayController::StopServices() {
  PostLog("[System] Server ShutDown Requested");
  PostLog("[System] Server ShutDown");
  // The queued lines reach the file before the controller goes.
  platform::ProcessMessages();
}

}  // namespace vltg
