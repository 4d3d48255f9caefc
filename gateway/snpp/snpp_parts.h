#pragma once
// Cutting a page into SNPP message parts, and reading SNPP replies.
#include <string>
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

// A reply as the result texts carry it: without its code and the blank after
// it (the first four characters), and without CR and LF.
std::string SnppReplyText(const std::string& reply);

// The text of a two-way SEND reply that carries a message tag and a pass code
// ("960 1234 5678 text"): the tag and code, one blank between, go to `tags`;
// the rest of the reply is returned as SnppReplyText does.
std::string SplitSnppTags(const std::string& reply, std::string& tags);

}  // namespace vltg
