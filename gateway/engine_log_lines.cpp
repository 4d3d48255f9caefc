#include "gateway/engine_log_lines.h"

#include <string>

#include "engines/kyr_tap.h"
#include "engines/kyr_tnpp.h"

namespace vltg {
namespace {

const std::string kTapTag = "[TAP Dial-Up Connection] ";

TTapNotifyEvent PortLine(const LogPoster& log, const std::string& what) {
  return [log, what](TKYRTap& sender) { log(kTapTag + sender.PortName + what); };
}

}  // namespace

void BindTapLogHandlers(TKYRTap& tap, const LogPoster& log) {
  tap.OnOpen = PortLine(log, " Waiting For Calls...");
  tap.OnClose = PortLine(log, " Inbound Calls Disabled");
  tap.OnCallOffering = PortLine(log, " Inbound Call Detected");
  tap.OnCallAnswering = PortLine(log, " Answerong Call");
  tap.OnCallAnswered = PortLine(log, " Call Answered");
  tap.OnConnection = PortLine(log, " Connected");
  tap.OnDisconnect = PortLine(log, " Disconnected");
  tap.OnDropCall = PortLine(log, " Call Droped");
  tap.OnUnexpectedClose = PortLine(log, " Unexpected Port Closure");
  // The engine is the sender; its port name is read when the line is made.
  TKYRTap* engine = &tap;
  auto text_line = [log, engine](TTapSession&, const std::string& msg) {
    log(kTapTag + engine->PortName + " " + msg);
  };
  tap.OnError = text_line;
  tap.OnTapiProgress = text_line;
}

void BindTnppLogHandlers(TKYRTNPP& link, const LogPoster& log) {
  auto packet_line = [log](const std::string& what) {
    return [log, what](TKYRTNPP&, const std::string& packet) { log("[TNPP] " + what + packet); };
  };
  link.OnLinkError = [log](TKYRTNPP&) { log("[TNPP] TNPP Link Lost Or Unable To Astablish Link"); };
  link.OnCRCError = packet_line("CRC Error: ");
  link.OnLinkTest = [log](TKYRTNPP&) { log("[TNPP] Link Test OK!"); };
  link.OnPacketRequeue = packet_line("Packet Requeued: ");
  link.OnPacketSent = packet_line("Packet Sent: ");
  link.OnPortClosed = [log](TKYRTNPP&) { log("[TNPP] TNPP Port Closed"); };
  // A device that went away, and the link serving again once it is back, as
  // a direct-access TAP port says them.
  auto port_line = [log](const std::string& what) {
    return [log, what](TKYRTNPP& sender) {
      log("[TNPP] TNPP Port COM" + std::to_string(static_cast<int>(sender.GetComPort()) + 1) + what);
    };
  };
  link.OnPortLost = port_line(" Closed - Restarting");
  link.OnPortRestored = port_line(" Open!");
  link.OnRmtCancel = packet_line("Remote Caneled: ");
  link.OnSendPacket = packet_line("Sending Packet: ");
}

}  // namespace vltg
