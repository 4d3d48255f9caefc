#pragma once
// Cutting a page into SNPP message parts, and reading SNPP replies.
#include <string>
#include <string_view>
#include <vector>

namespace vltg {

inline constexpr size_t kMaxSnppParts = 20;

struct SnppParts {
  std::vector<std::string> parts;
  // The part length leaves no room for text: nothing can be sent.
  bool no_room = false;
};

// Cuts `text` into parts for a server whose lines take at most `max_len`
// characters (0: no limit) after "PAGE " and a PIN of `pin_length`. A part
// that does not end the text is cut back to its last blank and ends
// "  (CONT.)"; the last of several ends " (END)". Text beyond 20 parts is
// dropped.
SnppParts SplitSnppMessage(std::string text, size_t pin_length, int max_len);

// The longest reply read: a server that sends more without ending its reply
// fails the delivery rather than filling memory.
inline constexpr size_t kMaxSnppReplyBytes = 64 * 1024;

// One reply taken from the front of what a connection has received. A reply
// is one line ended by LF; lines whose three-digit code is followed by '-'
// ("250-...") continue it up to the first line that is not so marked.
struct SnppReply {
  enum class Status { kIncomplete, kComplete, kTooLong };
  Status status = Status::kIncomplete;
  size_t length = 0;      // complete: the bytes it takes from the front
  std::string last_line;  // complete: the line that ends it; its code is the verdict
  std::string text;       // complete: each line's text after its code, blanks between
};
// Too long: no complete reply within the first `max_bytes`.
SnppReply ReadSnppReply(std::string_view received, size_t max_bytes = kMaxSnppReplyBytes);

// A reply as the result texts carry it: without its code and the blank after
// it (the first four characters), and without CR and LF.
std::string SnppReplyText(const std::string& reply);

// The text of a two-way SEND reply that carries a message tag and a pass code
// ("960 1234 5678 text"): the tag and code, one blank between, go to `tags`;
// the rest of the reply is returned as SnppReplyText does.
std::string SplitSnppTags(const std::string& reply, std::string& tags);

}  // namespace vltg
