#pragma once
// The gateway's own WCTP request (as page routing fills it, with the default
// configuration) and the document it must produce, byte for byte.
#include <chrono>
#include <memory>
#include <string>

#include "datafiles/config_keys.h"
#include "gateway/page_router.h"
#include "gateway/wctp/inet_page_request.h"

namespace vltg::testing::wctp {

// 2024-07-01T12:34:56Z
inline std::chrono::system_clock::time_point Submitted() {
  using namespace std::chrono;
  return sys_days{year{2024} / July / 1} + hours{12} + minutes{34} + seconds{56};
}

// The request page routing makes, with the default [WCTP] settings.
inline std::unique_ptr<TInetPageRequest> GatewayRequest(const std::string& pin, const std::string& message,
                                                        const std::string& url) {
  return MakeWctpRequest(url, pin, message,
                         WctpConfig{std::string(kDefaultWctpSenderId), "", std::string(kDefaultWctpDocType)});
}

// GatewayRequest("5551234", kGatewayMessage, ...) submitted at Submitted().
inline const std::string kGatewayMessage = "Call 555-0100 re: order #42";
inline const std::string kGatewayDocument =
    "<?xml version=\"1.0\"?>\r\n"
    "<!DOCTYPE wctp-Operation SYSTEM \"http://dtd.wctp.org/wctp-dtd-v1r1.dtd\">\r\n"
    "<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\">\r\n"
    "  <wctp-SubmitClientMessage>\r\n"
    "     <wctp-SubmitClientHeader\r\n"
    "         submitTimestamp=\"2024-07-01T12:34:56\">\r\n"
    "         <wctp-ClientOriginator\r\n"
    "            senderID=\"NOYB\"\r\n"
    "         />\r\n"
    "         <wctp-ClientMessageControl\r\n"
    "         />\r\n"
    "         <wctp-Recipient\r\n"
    "             recipientID=\"5551234\"\r\n"
    "         />\r\n"
    "     </wctp-SubmitClientHeader>\r\n"
    "     <wctp-Payload>\r\n"
    "         <wctp-Alphanumeric>Call 555-0100 re: order #42</wctp-Alphanumeric>\r\n"
    "     </wctp-Payload>\r\n"
    "  </wctp-SubmitClientMessage>\r\n"
    "</wctp-Operation>\r\n";

}  // namespace vltg::testing::wctp
