// Fuzz target: any bytes as a server reply, scanned twice as the WCTP client
// does. Every part's fields and positions are touched, so a position outside
// live memory shows up under the sanitizers.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "gateway/wctp/xml_parser.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  vltg::TXmlParser parser;
  parser.SetBufferText(std::string_view(reinterpret_cast<const char*>(data), size));
  // Each part takes at least one byte of the text or of expanded entity text.
  const size_t limit = size + 2 * vltg::TXmlParser::kMaxExpansion + 2;
  size_t first = 0;
  for (int pass = 0; pass < 2; ++pass) {
    parser.ResetScan();
    size_t parts = 0;
    unsigned sum = 0;
    while (parser.NextPart()) {
      vltg::testing::FuzzCheck(++parts <= limit);
      sum += static_cast<unsigned char>(*parser.GetPartStart()) + static_cast<unsigned char>(*parser.GetPartEnd());
      sum += static_cast<unsigned>(parser.GetPartName().size() + parser.GetPartContent().size());
      const vltg::TAttrList& attrs = parser.GetPartAttrs();
      for (int i = 0; i < attrs.Count(); ++i) {
        sum += static_cast<unsigned>(attrs.NameAt(i).size() + attrs.ValueAt(i).size());
      }
    }
    if (pass == 0) first = parts;
    if (pass == 1) vltg::testing::FuzzCheck(parts == first);  // a rescan gives the same parts
    volatile unsigned sink = sum;
    (void)sink;
  }
  return 0;
}
