#pragma once
// A Set-Cookie field's value as a core reports it: the cookie's name and value
// and the attributes a client needs to know where it belongs. Pure: the
// field's value in, the parts out; nothing from the server is trusted.
#include <string>
#include <string_view>

namespace vltg::platform::netxfer_core {

struct SetCookie {
  std::string name;
  std::string value;    // without the quotes a quoted value had
  std::string expires;  // the Expires attribute as written, else empty
  std::string domain;
  std::string path;
  bool secure = false;
};

// "name=value; Expires=...; Domain=...; Path=...; Secure; HttpOnly". Names of
// attributes match in any case; an attribute given twice counts as its last;
// unknown attributes are skipped. A pair without "=" is a value without a
// name, as browsers read it.
SetCookie ReadSetCookie(std::string_view field);

}  // namespace vltg::platform::netxfer_core
