#pragma once
// A caller's part of a call as a script, played through the modem simulator.
// One step per line:
//
//   send TEXT               the caller sends the text
//   block PIN MESSAGE       one TAP page block: STX PIN CR MESSAGE CR ETX,
//                           its three checksum characters, CR
//   knock TEXT PROMPT [SECONDS]
//                           sends the text every 2 s until the line has sent
//                           the prompt (30 s unless given), as a TAP caller
//                           sends CR until it is asked "ID="
//   expect TEXT [SECONDS]   waits (30 s unless given) until the line has sent
//                           the text; what came before it is passed over
//   wait MILLISECONDS       or until the call ends
//   hangup                  the caller hangs up
//
// TEXT (and PIN, MESSAGE) is one word or a double-quoted string; in both,
// \r \n \t \e (ESC) \xHH \" and \\ stand for their bytes. Blank lines and lines
// starting with # are skipped. Times count on the platform clock.
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace vltg::testing {

class ModemSimulator;

// A TAP block with its checksum (the 12-bit sum of STX through ETX, as three
// characters 0x30 + 4 bits, highest first).
std::string TapBlock(std::string_view pin, std::string_view message);

// Bytes made readable: printable ASCII as it is, CR LF as \r \n, every other
// byte as <NAME> for the control characters TAP uses or \xHH.
std::string ShowBytes(std::string_view bytes);

class CallerScript {
 public:
  struct Step {
    enum Kind { kSend, kExpect, kWait, kHangUp, kKnock } kind;
    std::string text;
    int64_t ms = 0;
    int line = 0;
    std::string prompt;  // kKnock
  };

  // Raises std::runtime_error naming the line of a step it cannot read.
  static CallerScript Parse(std::string_view text);

  // Plays the steps on a connected call; each step and what the line sent go
  // to the transcript when one is given. Empty when every step succeeded,
  // else what failed.
  std::string Play(ModemSimulator& modem, std::ostream* transcript) const;

  const std::vector<Step>& Steps() const { return steps_; }

 private:
  std::vector<Step> steps_;
};

}  // namespace vltg::testing
