#include "tests/support/http_message.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace vltg::testing {
namespace {

constexpr std::string_view kHeaderEnd = "\r\n\r\n";

std::string_view FirstLine(std::string_view message) { return message.substr(0, message.find("\r\n")); }

std::string Word(std::string_view line, int index) {
  size_t from = 0;
  for (int i = 0; i < index && from != std::string_view::npos; ++i) {
    from = line.find(' ', from);
    if (from != std::string_view::npos) ++from;
  }
  if (from == std::string_view::npos || from >= line.size()) return "";
  return std::string(line.substr(from, line.find(' ', from) - from));
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::string RequestMethod(std::string_view message) { return Word(FirstLine(message), 0); }

std::string RequestTarget(std::string_view message) { return Word(FirstLine(message), 1); }

std::optional<std::string> HeaderField(std::string_view message, std::string_view name) {
  const std::string_view header = message.substr(0, message.find(kHeaderEnd));
  for (size_t line = header.find("\r\n"); line != std::string_view::npos;) {
    const size_t start = line + 2;
    line = header.find("\r\n", start);
    const std::string_view text = header.substr(start, line == std::string_view::npos ? line : line - start);
    const size_t colon = text.find(':');
    if (colon != std::string_view::npos && SameName(text.substr(0, colon), name)) {
      return std::string(Trimmed(text.substr(colon + 1)));
    }
  }
  return std::nullopt;
}

std::string MessageBody(std::string_view message) {
  const size_t end = message.find(kHeaderEnd);
  return end == std::string_view::npos ? "" : std::string(message.substr(end + kHeaderEnd.size()));
}

std::size_t CompleteMessageLength(std::string_view bytes) {
  const size_t end = bytes.find(kHeaderEnd);
  if (end == std::string_view::npos) return 0;
  size_t length = 0;
  if (const auto field = HeaderField(bytes.substr(0, end + 2), "Content-Length")) {
    std::from_chars(field->data(), field->data() + field->size(), length);
  }
  const size_t header = end + kHeaderEnd.size();
  return bytes.size() - header >= length ? header + length : 0;
}

}  // namespace vltg::testing
