#include "gateway/page_router.h"

#include <exception>

#include "engines/tnpp_packet.h"
#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

const std::string kTapTag = "[TAP Dial-Up Connection] ";
const std::string kSnppFailed = "[SNPP] SNPP";
const std::string kWctpFailed = "[WCTP] WCTP";
const std::string kTnppFailed = "[TNPP] TNPP";

// A failure's reason, mostly a peer's text of any length, goes into the log
// cut short.
constexpr size_t kLoggedErrorBytes = 256;
std::string ErrorPart(const std::string& error) { return " Error: " + error.substr(0, kLoggedErrorBytes); }

std::string SubmittedLine(const std::string& tag, const std::string& port, const std::string& what,
                          const std::string& pin, const std::string& msg) {
  return tag + port + what + pin + " Msg: " + msg;
}

// Why a TNPP packet cannot carry the route's values; empty when it can.
std::string TnppTargetError(const TnppRouteTarget& target) {
  if (target.destination < 0 || static_cast<uint32_t>(target.destination) > kTnppMaxAddress) {
    return "Destination Address " + std::to_string(target.destination) + " Out Of Range (0 To " +
           std::to_string(kTnppMaxAddress) + ")";
  }
  if (target.inertia > kTnppMaxInertia) {
    return "Inertia " + std::to_string(target.inertia) + " Out Of Range (0 To " + std::to_string(kTnppMaxInertia) + ")";
  }
  return "";
}

}  // namespace

std::string DeliveryFailedLine(const std::string& start, const std::string& pin, const std::string& msg) {
  return start + " Delivery Faild For \"" + pin + ", MSG: " + msg;
}

TPageRouter::TPageRouter(const RouteTable& routes, LogPoster log, TTnppPageQueue& queue, Owner owner)
    : routes_(routes), log_(std::move(log)), queue_(queue), owner_(std::move(owner)) {}

bool TPageRouter::Route(const std::string& port_name, const std::string& pin, const std::string& msg) {
  const RouteLine* route = routes_.Find(pin);
  if (!route) {
    log_(SubmittedLine(kTapTag, port_name, " Msg. Denied For: ", pin, msg));
    return false;
  }
  const RouteTransport transport = TransportOf(*route);
  try {
    switch (transport) {
      case RouteTransport::kSnpp:
        return DeliverSnpp(port_name, *route, pin, msg);
      case RouteTransport::kWctp:
        return DeliverWctp(port_name, *route, pin, msg);
      case RouteTransport::kTnpp:
        return QueueTnpp(port_name, *route, pin, msg);
    }
  } catch (const std::exception& e) {
    // Whatever a delivery raises is that delivery's failure: logged, refused.
    const std::string& start = transport == RouteTransport::kSnpp   ? kSnppFailed
                               : transport == RouteTransport::kWctp ? kWctpFailed
                                                                    : kTnppFailed;
    log_(DeliveryFailedLine(start, pin, transport == RouteTransport::kTnpp ? msg.substr(0, 255) : msg) +
         ErrorPart(e.what()));
  }
  return false;
}

bool TPageRouter::DeliverSnpp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                              const std::string& msg) {
  SnppClient client = snpp_template_;  // one per delivery: ports deliver at once
  client.SetStopFlag(owner_.stopped);
  std::string tags, reply;
  if (client.SendSnpp(route.field3, route.field4, pin, msg, 999, false, false, false, tags, reply)) {
    log_(SubmittedLine("[SNPP] ", port_name, " Msg. Submitted For: ", pin, msg));
    return true;
  }
  log_(DeliveryFailedLine(kSnppFailed, pin, msg) + ErrorPart(reply));
  return false;
}

bool TPageRouter::DeliverWctp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                              const std::string& msg) {
  platform::ProcessMessages();
  const WctpConfig config = owner_.wctp_config();
  const auto request = MakeWctpRequest(route.field3, pin, msg, config);
  TKYRInetPagingComp client = wctp_template_;  // its per-post state is this delivery's alone
  const bool accepted = client.SendPage(*request);
  // Accepted all the same (carriers run self-signed servers), but said once.
  if (const std::string& status = client.GetAcceptedCertStatus(); !status.empty()) {
    log_("[WCTP] " + port_name + " Untrusted Server Certificate Accepted For " + request->URL.str() + ": " + status);
  }
  if (accepted) {
    log_(SubmittedLine("[WCTP] ", port_name, " Msg. Submitted For: ", pin, msg));
    return true;
  }
  log_(DeliveryFailedLine(kWctpFailed, pin, msg) + ErrorPart(WctpErrorText(request->ReplyText)));
  return false;
}

std::unique_ptr<TInetPageRequest> MakeWctpRequest(const std::string& url, const std::string& pin,
                                                  const std::string& msg, const WctpConfig& config) {
  auto request = NewInetPageRequest();
  request->NotifyWhenQueued = request->NotifyWhenDelivered = request->NotifyWhenRead = false;
  request->AllowResponse = false;
  request->DocType = config.doc_type;
  request->RecipientID = pin;
  request->MaxPartLen = 999;
  request->Message = msg;
  request->MiscInfo = config.misc_sender_info;
  request->StrictSSL = false;
  request->UseSubmitRequest = false;
  request->ProxyServer = "";
  request->ProxyUser = "";
  request->ProxyPassword = "";
  request->SenderID = config.sender_id;
  request->SendResponsesToID = "";
  request->SecurityCode = "";
  request->URL = url;
  return request;
}

std::string WctpErrorText(const std::string& reply_text) {
  std::string success, error;
  size_t at = 0;
  while (at < reply_text.size()) {
    size_t end = reply_text.find_first_of("\r\n", at);
    if (end == std::string::npos) end = reply_text.size();
    const std::string line = reply_text.substr(at, end - at);
    if (line.rfind("successText=", 0) == 0 && success.empty()) success = line.substr(12);
    if (line.rfind("errorText=", 0) == 0 && error.empty()) error = line.substr(10);
    at = end + 1;
  }
  return success.empty() ? error : success;
}

bool TPageRouter::QueueTnpp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                            const std::string& msg) {
  // Refused at once rather than accepted for a link that will never send it.
  if (!owner_.tnpp_enabled()) {
    log_("[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"" + pin + ", MSG: " + msg.substr(0, 255));
    return false;
  }
  // Values the packet header cannot carry would be accepted here and then
  // fail at every hand-over: the caller hears the refusal instead.
  const TnppRouteTarget target = TnppTargetOf(route);
  if (const std::string error = TnppTargetError(target); !error.empty()) {
    log_(DeliveryFailedLine(kTnppFailed, pin, msg.substr(0, 255)) + " Error: " + error);
    return false;
  }
  // A link that is down for now (a silent peer, a device being opened again)
  // sends the page once it is back; a port that is not open never will.
  if (!owner_.tnpp_link_open()) {
    log_(DeliveryFailedLine(kTnppFailed, pin, msg.substr(0, 255)) + ErrorPart("TNPP Link Down"));
    return false;
  }
  queue_.Append(MakeTnppPageRecord(pin, route.transport, target.destination, target.inertia, msg));
  log_(SubmittedLine("[TNPP] ", port_name, " Msg. Rcvd For: ", pin, msg));
  return true;
}

}  // namespace vltg
