// A WCTP server's reply is untrusted: whatever its body, the client's reading
// of it gives a verdict and result lines that are sorted, unique without
// regard to case, each a "name=value" line, and that the failure text of a
// refused page can be taken from.
// Input: an option byte (bit 0: the request was a wctp-SubmitRequest), then
// the reply body.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "gateway/page_router.h"
#include "gateway/wctp/inet_page_request.h"
#include "gateway/wctp/kyr_inet_paging_comp.h"
#include "platform/base/ascii_text.h"
#include "tests/support/fuzz_check.h"

using namespace vltg;
using vltg::testing::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  static TKYRInetPagingComp client = [] {
    TKYRInetPagingComp c;
    c.SetSleep(nullptr);
    return c;
  }();
  const auto request = NewInetPageRequest();
  request->UseSubmitRequest = data[0] & 1;
  request->MessageID = "M1";
  const std::string body(reinterpret_cast<const char*>(data) + 1, size - 1);

  TResultLines lines;
  const bool accepted = client.ReadReply(body, *request, lines);
  if (accepted && request->UseSubmitRequest) FuzzCheck(lines.Lines().size() >= 1);
  // Ascending without regard to ASCII case, none equal.
  auto lower = [](char c) { return static_cast<unsigned char>(platform::AsciiLower(c)); };
  for (size_t i = 0; i < lines.Lines().size(); ++i) {
    const std::string& line = lines.Lines()[i];
    FuzzCheck(line.find('=') != std::string::npos);
    if (i == 0) continue;
    const std::string& before = lines.Lines()[i - 1];
    FuzzCheck(std::lexicographical_compare(before.begin(), before.end(), line.begin(), line.end(),
                                           [&](char a, char b) { return lower(a) < lower(b); }));
  }
  // The lines go into the request as CR LF lines, one each.
  const std::string text = lines.Text();
  size_t count = 0;
  for (size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2) ++count;
  FuzzCheck(count == lines.Lines().size());
  (void)WctpErrorText(text);
  return 0;
}
