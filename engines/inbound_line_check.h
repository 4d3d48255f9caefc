#pragma once
// Whether a telephony line can take inbound data calls: the verdicts of
// TKYRTap::CheckInboundLine on what the line reports, with their texts.
#include <cstdint>
#include <string>

#include "platform/telephony/line_records.h"

namespace vltg {

struct TInboundLineVerdict {
  int32_t Code = 0;  // 0: usable
  std::string Text;  // why not; empty when usable
};

// The line's capabilities: voice bearer, data-modem media, calls (codes 2 to 4).
TInboundLineVerdict CheckInboundCaps(const platform::LINEDEVCAPS& Caps);
// The address of a trial open that cannot take calls (code 6).
TInboundLineVerdict CheckInboundAddress(const platform::LINEADDRESSSTATUS& Status);
// The line is held elsewhere (code 5).
TInboundLineVerdict InboundLineAllocated();

}  // namespace vltg
