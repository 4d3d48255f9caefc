#pragma once
// Routing and delivery of one received page: the route of its PIN decides
// SNPP (a client connection per part, from the calling port thread), WCTP
// (the one WCTP client, one delivery at a time) or the TNPP queue. Every
// outcome is one log line and the caller's verdict; nothing escapes.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "gateway/config_file.h"
#include "gateway/gateway_log.h"
#include "gateway/route_table.h"
#include "gateway/snpp/snpp_client.h"
#include "gateway/tnpp_page_queue.h"

namespace vltg {

class TPageRouter {
 public:
  // What the router reads of its owner at each page.
  struct Owner {
    std::function<bool()> stopped;             // the controller's FStopped
    std::function<bool()> tnpp_enabled;        // [TNPP] EnableTNPP, read now
    std::function<bool()> tnpp_link_up;        // the link is up
    std::function<WctpConfig()> wctp_config;   // [WCTP], read now
  };
  // The WCTP delivery: true when every part was accepted, else the error text.
  using WctpDelivery = std::function<bool(const std::string& url, const std::string& pin, const std::string& msg,
                                          const WctpConfig& config, std::string& error)>;

  TPageRouter(const RouteTable& routes, LogPoster log, TTnppPageQueue& queue, Owner owner);

  // Delivers the page received on the named port; the caller's verdict.
  bool Route(const std::string& port_name, const std::string& pin, const std::string& msg);

  // Test hooks: the SNPP client's settings and the WCTP delivery.
  SnppClient& Snpp() { return snpp_template_; }
  void SetWctpDelivery(WctpDelivery delivery) { wctp_ = std::move(delivery); }

 private:
  bool DeliverSnpp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                   const std::string& msg);
  bool DeliverWctp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                   const std::string& msg);
  bool QueueTnpp(const std::string& port_name, const RouteLine& route, const std::string& pin,
                 const std::string& msg);

  const RouteTable& routes_;
  LogPoster log_;
  TTnppPageQueue& queue_;
  Owner owner_;
  SnppClient snpp_template_;
  std::mutex wctp_mutex_;  // one WCTP delivery at a time
  WctpDelivery wctp_;
};

// "<tag>... Delivery Faild For \"PIN, MSG: msg" — the failure lines' common start
// (the quote is never closed, as operators' log filters expect).
std::string DeliveryFailedLine(const std::string& start, const std::string& pin, const std::string& msg);

}  // namespace vltg
