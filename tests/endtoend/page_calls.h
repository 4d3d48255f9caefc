#pragma once
// A TAP caller's call as the end-to-end tests make it, and the WCTP server's
// replies they use.
#include <sstream>
#include <string>

#include "tests/support/caller_script.h"
#include "tests/support/local_http_server.h"
#include "tests/support/modem_simulator.h"

namespace vltg::testing {

// A caller's whole call: logon without password, one page, goodbye.
inline std::string PageScript(const std::string& pin, const std::string& message, const std::string& verdict) {
  return "knock \"\\r\" ID=\n"
         "send \"\\ePG1\\r\"\n"
         "expect \"\\e[p\\r\"\n"
         "block " + pin + " \"" + message + "\"\n"
         "expect \"" + verdict + "\" 90\n"
         "send \"\\x04\\r\"\n"
         "expect \"\\e\\x04\"\n";
}
inline const std::string kAccepted = "Message Submitted For Processing\\r\\x06\\r";
inline const std::string kRefused = "Page Canceled!\\r\\x1e\\r";

// Rings the modem and plays the caller's script; empty when it all went as
// scripted, else what failed and the transcript.
inline std::string Call(ModemSimulator& modem, const std::string& script) {
  modem.Call();
  if (!modem.WaitUntil([&] { return modem.Connected(); }, 30000)) return "never answered";
  std::ostringstream transcript;
  const std::string failure = CallerScript::Parse(script).Play(modem, &transcript);
  return failure.empty() ? "" : failure + "\n" + transcript.str();
}

inline std::string WctpReply(const std::string& inner) {
  return LocalHttpServer::Reply(
      "200 OK", "<?xml version=\"1.0\"?>\n<wctp-Operation wctpVersion=\"wctp-dtd-v1r1\">\n<wctp-Confirmation>" +
                    inner + "</wctp-Confirmation>\n</wctp-Operation>\n");
}
inline const std::string kWctpAccepted =
    WctpReply("<wctp-ClientSuccess successCode=\"200\" successText=\"Accepted\"/>");

}  // namespace vltg::testing
