#pragma once
// The events of one core object, raised through the owner's callback with the
// arguments laid out as the components read them: numbers and flags as they
// are, texts as pointers to zero-terminated bytes, a length-counted text's
// length beside it. Nothing the callback throws goes further.
#include <string>
#include <string_view>

#include "platform/netxfer/netxfer_abi.h"

namespace vltg::platform::netxfer_core {

struct SetCookie;

class CoreEvents {
 public:
  CoreEvents(NxEventCallback callback, NxInt user, const NxEventNumbers& numbers)
      : callback_(callback), user_(user), numbers_(numbers) {}

  // Request body goes out in direction 0, the reply body comes in in direction 1.
  static constexpr int kSending = 0;
  static constexpr int kReceiving = 1;

  void Connected(NxInt code, const std::string& description);
  void ConnectionStatus(const std::string& event, NxInt code, const std::string& description);
  void Disconnected(NxInt code, const std::string& description);
  void StartTransfer(int direction);
  void Transfer(int direction, NxInt bytesSoFar, std::string_view piece);
  void EndTransfer(int direction);
  void Error(NxInt code, const std::string& description);
  void Header(const std::string& field, const std::string& value);
  void Status(const std::string& version, NxInt code, const std::string& reason);
  void Cookie(const SetCookie& cookie);
  // The handler's answer; `accept` is what it is asked with.
  bool Redirect(const std::string& location, bool accept);
  bool ServerAuthentication(const std::string& der, const std::string& subject, const std::string& issuer,
                            const std::string& status, bool accept);
  void SslStatus(const std::string& message);

 private:
  void Raise(int event, NxInt* argv, NxInt* lengths, NxInt argc);

  NxEventCallback callback_;
  NxInt user_;
  const NxEventNumbers& numbers_;
};

}  // namespace vltg::platform::netxfer_core
