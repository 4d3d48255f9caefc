#pragma once
// Routing and delivery of one received page: the route of its PIN decides
// SNPP (a client connection per part) or WCTP (a client of its own), each
// from the calling port thread, so a slow carrier holds up only the callers
// whose pages go to it; or the TNPP queue. Every outcome is one log line and
// the caller's verdict; nothing escapes.
#include <functional>
#include <memory>
#include <string>

#include "datafiles/config_file.h"
#include "datafiles/route_table.h"
#include "gateway/gateway_log.h"
#include "gateway/snpp/snpp_client.h"
#include "gateway/tnpp_page_queue.h"
#include "gateway/wctp/inet_page_request.h"
#include "gateway/wctp/kyr_inet_paging_comp.h"

namespace vltg {

class TPageRouter {
 public:
  // What the router reads of its owner at each page.
  struct Owner {
    std::function<bool()> stopped;             // the controller's FStopped
    std::function<bool()> tnpp_enabled;        // [TNPP] EnableTNPP, read now
    std::function<bool()> tnpp_link_open;      // the link's port is open (its link may be down for now)
    std::function<WctpConfig()> wctp_config;   // [WCTP], read now
  };
  TPageRouter(const RouteTable& routes, LogPoster log, TTnppPageQueue& queue, Owner owner);

  // Delivers the page received on the named port; the caller's verdict.
  bool Route(const std::string& port_name, const std::string& pin, const std::string& msg);

  // The settings every SNPP and WCTP delivery starts from; each delivery
  // works on a copy of its own.
  SnppClient& Snpp() { return snpp_template_; }
  TKYRInetPagingComp& Wctp() { return wctp_template_; }

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
  TKYRInetPagingComp wctp_template_;
};

// The gateway's WCTP request for a page: the client-message form, no
// notifications, the [WCTP] settings, the route's URL.
std::unique_ptr<TInetPageRequest> MakeWctpRequest(const std::string& url, const std::string& pin,
                                                  const std::string& msg, const WctpConfig& config);
// The error of a failed WCTP delivery: "successText", else "errorText" of the
// request's result lines.
std::string WctpErrorText(const std::string& reply_text);

// "<tag>... Delivery Faild For \"PIN, MSG: msg" — the failure lines' common start
// (the quote is never closed, as operators' log filters expect).
std::string DeliveryFailedLine(const std::string& start, const std::string& pin, const std::string& msg);

}  // namespace vltg
