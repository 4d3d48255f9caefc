#include "engines/inbound_line_check.h"

#include "platform/telephony/tapi_constants.h"

namespace vltg {

using namespace platform;

TInboundLineVerdict CheckInboundCaps(const LINEDEVCAPS& Caps) {
  if (!(Caps.dwBearerModes & LINEBEARERMODE_VOICE)) return {2, "Inbound Usable Line: Doesn't support Voice"};
  if (!(Caps.dwMediaModes & LINEMEDIAMODE_DATAMODEM)) {
    return {3, "Inbound Usable Line: Doesn't support Data Communications"};
  }
  if (!(Caps.dwLineFeatures & LINEFEATURE_MAKECALL)) return {4, "Inbound Usable Line: Doesn't support Inbound Calls"};
  return {};
}

TInboundLineVerdict CheckInboundAddress(const LINEADDRESSSTATUS& Status) {
  if (!(Status.dwAddressFeatures & LINEADDRFEATURE_MAKECALL)) {
    return {6, "Inbound Usable Line: \r\nInbound calls not available. Port May Be In Use!"};
  }
  return {};
}

TInboundLineVerdict InboundLineAllocated() {
  return {5, "Inbound Usable Line: \r\nLine is already in use by a non-TAPI app or\r\nanother Service Provider."};
}

}  // namespace vltg
