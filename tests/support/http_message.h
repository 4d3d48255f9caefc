#pragma once
// Reading raw HTTP/1.1 messages as test peers receive them: the request line,
// header fields and body, and whether enough bytes are in for a whole message.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace vltg::testing {

// The first line's words: "POST", "/wctp" (or "http://host:port/wctp",
// "host:port" for CONNECT); empty when there is no such word.
std::string RequestMethod(std::string_view message);
std::string RequestTarget(std::string_view message);

// The value of the first header field of that name (any case), without the
// blanks around it; nothing when the message has no such field.
std::optional<std::string> HeaderField(std::string_view message, std::string_view name);

// The bytes after the blank line that ends the header.
std::string MessageBody(std::string_view message);

// The length of the whole message at the start of `bytes` (header and
// Content-Length body), or 0 while it is not all in.
std::size_t CompleteMessageLength(std::string_view bytes);

}  // namespace vltg::testing
