#include "platform/netxfer/core/core_events.h"

#include "platform/netxfer/core/set_cookie.h"

namespace vltg::platform::netxfer_core {
namespace {

NxInt Text(const std::string& text) { return reinterpret_cast<NxInt>(text.c_str()); }

}  // namespace

void CoreEvents::Connected(NxInt code, const std::string& description) {
  NxInt argv[] = {code, Text(description)};
  NxInt lengths[] = {0, 0};
  Raise(numbers_.Connected, argv, lengths, 2);
}

void CoreEvents::ConnectionStatus(const std::string& event, NxInt code, const std::string& description) {
  NxInt argv[] = {Text(event), code, Text(description)};
  NxInt lengths[] = {0, 0, 0};
  Raise(numbers_.ConnectionStatus, argv, lengths, 3);
}

void CoreEvents::Disconnected(NxInt code, const std::string& description) {
  NxInt argv[] = {code, Text(description)};
  NxInt lengths[] = {0, 0};
  Raise(numbers_.Disconnected, argv, lengths, 2);
}

void CoreEvents::StartTransfer(int direction) {
  NxInt argv[] = {direction};
  NxInt lengths[] = {0};
  Raise(numbers_.StartTransfer, argv, lengths, 1);
}

void CoreEvents::Transfer(int direction, NxInt bytesSoFar, std::string_view piece) {
  const std::string bytes(piece);  // zero-terminated for the callback
  NxInt argv[] = {direction, bytesSoFar, Text(bytes)};
  NxInt lengths[] = {0, 0, static_cast<NxInt>(bytes.size())};
  Raise(numbers_.Transfer, argv, lengths, 3);
}

void CoreEvents::EndTransfer(int direction) {
  NxInt argv[] = {direction};
  NxInt lengths[] = {0};
  Raise(numbers_.EndTransfer, argv, lengths, 1);
}

void CoreEvents::Error(NxInt code, const std::string& description) {
  NxInt argv[] = {code, Text(description)};
  NxInt lengths[] = {0, 0};
  Raise(numbers_.Error, argv, lengths, 2);
}

void CoreEvents::Header(const std::string& field, const std::string& value) {
  NxInt argv[] = {Text(field), Text(value)};
  NxInt lengths[] = {0, 0};
  Raise(numbers_.Header, argv, lengths, 2);
}

void CoreEvents::Status(const std::string& version, NxInt code, const std::string& reason) {
  NxInt argv[] = {Text(version), code, Text(reason)};
  NxInt lengths[] = {0, 0, 0};
  Raise(numbers_.Status, argv, lengths, 3);
}

void CoreEvents::Cookie(const SetCookie& cookie) {
  NxInt argv[] = {Text(cookie.name), Text(cookie.value), Text(cookie.expires), Text(cookie.domain),
                  Text(cookie.path), cookie.secure ? 1 : 0};
  NxInt lengths[] = {0, 0, 0, 0, 0, 0};
  Raise(numbers_.SetCookie, argv, lengths, 6);
}

bool CoreEvents::Redirect(const std::string& location, bool accept) {
  NxInt argv[] = {Text(location), accept ? 1 : 0};
  NxInt lengths[] = {0, 0};
  Raise(numbers_.Redirect, argv, lengths, 2);
  return argv[1] != 0;
}

bool CoreEvents::ServerAuthentication(const std::string& der, const std::string& subject, const std::string& issuer,
                                      const std::string& status, bool accept) {
  NxInt argv[] = {Text(der), Text(subject), Text(issuer), Text(status), accept ? 1 : 0};
  NxInt lengths[] = {static_cast<NxInt>(der.size()), 0, 0, 0, 0};
  Raise(numbers_.SSLServerAuthentication, argv, lengths, 5);
  return argv[4] != 0;
}

void CoreEvents::SslStatus(const std::string& message) {
  NxInt argv[] = {Text(message)};
  NxInt lengths[] = {0};
  Raise(numbers_.SSLStatus, argv, lengths, 1);
}

// Nothing the owner's callback throws may unwind into libcurl.
void CoreEvents::Raise(int event, NxInt* argv, NxInt* lengths, NxInt argc) {
  if (!callback_ || event == 0) return;
  try {
    callback_(user_, event, argc, argv, lengths);
  } catch (...) {
  }
}

}  // namespace vltg::platform::netxfer_core
