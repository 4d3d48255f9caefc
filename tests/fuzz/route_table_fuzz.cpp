// Route.Dat comes from outside: any bytes must load, look up and convert
// without a crash, and a table written out must load back the same.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "datafiles/route_table.h"
#include "platform/base/ascii_text.h"
#include "tests/support/fuzz_check.h"

using vltg::EConvertError;
using vltg::RouteTable;
using vltg::testing::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const RouteTable table = RouteTable::Parse(bytes);

  for (const std::string_view pin : {bytes.substr(0, 4), bytes.substr(size / 2, 10), std::string_view("1234"),
                                     std::string_view("")}) {
    if (const auto* line = table.Find(pin)) {
      FuzzCheck(line->has_fields);
      FuzzCheck(pin.starts_with(line->route) || vltg::platform::EqualsIgnoreCase(line->route, vltg::kDefaultRoute));
      (void)vltg::TransportOf(*line);
      try {
        (void)vltg::TnppTargetOf(*line);
      } catch (const EConvertError&) {
      }
    }
  }

  FuzzCheck(RouteTable::Parse(table.Render()).Lines() == table.Lines());
  return 0;
}
