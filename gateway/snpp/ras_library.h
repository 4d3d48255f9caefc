#pragma once
// The remote-access (dial-up) library behind TagRas. Every function is
// optional, as entry points looked up by name in a library that may lack
// them: an empty function is one the library does not have, and the operation
// that needs it does nothing. Results are remote-access error codes, 0 for
// success.
//
// The gateway never dials before it connects, so the only library shipped is
// the missing one (LoadRasLibrary); tests hand TagRas a fake.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/messages/message_queue.h"

namespace vltg {

using RasHandle = intptr_t;
inline constexpr RasHandle kNoRasConnection = -1;

// The dial state that means connected.
inline constexpr int RASCS_Connected = 0x2000;

struct RasConnection {
  RasHandle handle = kNoRasConnection;
  std::string entry_name;
};

// An entry's dial parameters.
struct RasDialParams {
  std::string entry_name;
  std::string phone_number;
  std::string callback_number;
  std::string user_name;
  std::string password;
  std::string domain;
};

struct RasLibrary {
  // The phone-book entries' names, at most `room` of them.
  std::function<int(size_t room, std::vector<std::string>& entries)> EnumEntries;
  // The active connections, at most `room` of them.
  std::function<int(size_t room, std::vector<RasConnection>& connections)> EnumConnections;
  // The IP address a connection's PPP link was given (empty: none).
  std::function<int(RasHandle connection, std::string& ip_address)> GetProjectionIp;
  // Fills the parameters of `params.entry_name`; `password_saved` tells
  // whether the entry keeps a password.
  std::function<int(RasDialParams& params, bool& password_saved)> GetEntryDialParams;
  std::function<int(const RasDialParams& params, bool remove_password)> SetEntryDialParams;
  // Starts dialling and fills `handle`. Progress is posted to `notifier` as
  // `message`: the dial state in wparam, an error code (0: none) in lparam.
  std::function<int(const RasDialParams& params, platform::TargetRef notifier, uint32_t message, RasHandle& handle)>
      Dial;
  std::function<int(RasHandle connection)> HangUp;
  // The system's text for an error code.
  std::function<int(int code, std::string& text)> GetErrorString;
  // One of the library's own texts; empty when it has none with that id.
  std::function<std::string(int id)> LoadString;
  // Minimises the system's dial-progress dialog.
  std::function<void()> MinimizeDialog;
};

// The remote-access library the gateway carries: none, so every function is
// missing.
RasLibrary LoadRasLibrary();

}  // namespace vltg
