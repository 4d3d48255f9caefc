#include "gateway/page_router.h"

#include <exception>

#include "platform/messages/message_queue.h"

namespace vltg {
namespace {

const std::string kTapTag = "[TAP Dial-Up Connection] ";
const std::string kSnppFailed = "[SNPP] SNPP";
const std::string kWctpFailed = "[WCTP] WCTP";
const std::string kTnppFailed = "[TNPP] TNPP";

std::string SubmittedLine(const std::string& tag, const std::string& port, const std::string& what,
                          const std::string& pin, const std::string& msg) {
  return tag + port + what + pin + " Msg: " + msg;
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
         " Error: " + e.what());
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
  log_(DeliveryFailedLine(kSnppFailed, pin, msg) + " Error: " + reply);
  return false;
}

bool TPageRouter::DeliverWctp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                              const std::string& msg) {
  platform::ProcessMessages();
  const WctpConfig config = owner_.wctp_config();
  std::string error;
  bool accepted = false;
  {
    std::lock_guard lock(wctp_mutex_);
    if (wctp_) accepted = wctp_(route.field3.substr(0, 255), pin, msg, config, error);
  }
  if (accepted) {
    log_(SubmittedLine("[WCTP] ", port_name, " Msg. Submitted For: ", pin, msg));
    return true;
  }
  log_(DeliveryFailedLine(kWctpFailed, pin, msg) + " Error: " + error);
  return false;
}

bool TPageRouter::QueueTnpp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                            const std::string& msg) {
  // Refused at once rather than accepted for a link that will never send it.
  if (!owner_.tnpp_enabled()) {
    log_("[TNPP] TNPP Delivery Faild (TNPP Not Enabled) For \"" + pin + ", MSG: " + msg.substr(0, 255));
    return false;
  }
  if (!owner_.tnpp_link_up()) {
    log_(DeliveryFailedLine(kTnppFailed, pin, msg.substr(0, 255)) + " Error: TNPP Link Down");
    return false;
  }
  const TnppRouteTarget target = TnppTargetOf(route);
  queue_.Append(MakeTnppPageRecord(pin, route.transport, target.destination, target.inertia, msg));
  log_(SubmittedLine("[TNPP] ", port_name, " Msg. Rcvd For: ", pin, msg));
  return true;
}

}  // namespace vltg
