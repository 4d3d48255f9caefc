#include "platform/netxfer/core/set_cookie.h"

#include "platform/base/ascii_text.h"

namespace vltg::platform::netxfer_core {
namespace {

// The text up to the next ';' (or the end), blanks trimmed; `rest` moves past it.
std::string_view NextPart(std::string_view& rest) {
  const size_t end = rest.find(';');
  std::string_view part = rest.substr(0, end);
  rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
  return TrimBlanks(part);
}

std::string_view Unquoted(std::string_view value) {
  if (value.size() >= 2 && value.front() == '"' && value.back() == '"') return value.substr(1, value.size() - 2);
  return value;
}

}  // namespace

SetCookie ReadSetCookie(std::string_view field) {
  SetCookie cookie;
  std::string_view rest = field;
  const std::string_view pair = NextPart(rest);
  if (const size_t equals = pair.find('='); equals != std::string_view::npos) {
    cookie.name = TrimBlanks(pair.substr(0, equals));
    cookie.value = Unquoted(TrimBlanks(pair.substr(equals + 1)));
  } else {
    cookie.value = Unquoted(pair);
  }
  while (!rest.empty()) {
    const std::string_view attribute = NextPart(rest);
    const size_t equals = attribute.find('=');
    const std::string_view name = TrimBlanks(attribute.substr(0, equals));
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : TrimBlanks(attribute.substr(equals + 1));
    if (EqualsIgnoreCase(name, "expires")) {
      cookie.expires = value;
    } else if (EqualsIgnoreCase(name, "domain")) {
      cookie.domain = value;
    } else if (EqualsIgnoreCase(name, "path")) {
      cookie.path = value;
    } else if (EqualsIgnoreCase(name, "secure")) {
      cookie.secure = true;
    }
  }
  return cookie;
}

}  // namespace vltg::platform::netxfer_core
