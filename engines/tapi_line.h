#pragma once
// Turns the result of a telephony line function into an error text.
#include <cstdint>
#include <string>

#include "platform/telephony/line_api.h"

namespace vltg {

// Returns false when Result is not negative (success or an asynchronous
// request identifier). A negative Result becomes "TAPI Line: LINEERR_..." or,
// for a value with no constant, "Unknown Error - <Result>": with RaiseIt the
// text is raised as vltg::Exception, otherwise it is stored in *Buffer (when
// given) and true is returned.
bool CheckLineResult(std::int32_t Result, bool RaiseIt = true, std::string* Buffer = nullptr);

// lineNegotiateAPIVersion from Low to High: the version agreed, 0 when the
// line supports none of them; any other failure is raised as CheckLineResult
// raises it.
std::uint32_t NegotiateLineVersion(platform::HLINEAPP LineApp, std::uint32_t DeviceID, std::uint32_t Low,
                                   std::uint32_t High);

}  // namespace vltg
