#pragma once
// A page request of the demo: one text line "PIN MESSAGE" sent to the demo
// modem, which rings the gateway and plays a TAP caller delivering the page.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vltg::testing {

// A TAP block holds at most 256 characters; STX, the two field ends (CR), ETX,
// the checksum and the closing CR take 8 of them.
inline constexpr size_t kMaxPinAndMessage = 256 - 8;

struct DemoPageRequest {
  std::string pin;
  std::string message;
  bool operator==(const DemoPageRequest&) const = default;

  // The request line, without its line end.
  std::string Line() const { return pin + " " + message; }
};

// Reads a request line (a trailing LF or CR LF is dropped): the PIN is the
// first word, the message the rest after the blanks that follow it (it may be
// empty). Only printable ASCII is taken, as the TAP block carries it. Nothing,
// with the reason in `error`, for a line without a PIN, with another byte, or
// too long for one block.
std::optional<DemoPageRequest> ParseDemoPageRequest(std::string_view line, std::string& error);

}  // namespace vltg::testing
