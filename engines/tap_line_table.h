#pragma once
// The process-wide table of TAP engines by LineInstance (line_table.h).
#include "engines/line_table.h"

namespace vltg {

class TKYRTap;
using TTapLineTable = TLineTable<TKYRTap>;

}  // namespace vltg
