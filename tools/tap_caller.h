#pragma once
// A TAP caller with one page, as paging terminals and sending software call a
// paging gateway: it wakes the line with CR until "ID=" comes, logs on
// automatically (ESC "PG1" CR), waits for the go-ahead (ESC "[p"), sends the
// page as one block, reads the gateway's verdict, and ends with EOT CR, which
// the gateway answers with ESC EOT before it drops the call (the caller hangs
// up itself only when the gateway does not).
#include <iosfwd>
#include <string>
#include <string_view>

#include "tools/demo_page_request.h"

namespace vltg::testing {

class ModemSimulator;

enum class TapVerdict {
  kNone,      // no verdict (yet)
  kAccepted,  // ACK: the page was taken
  kRefused,   // RS: the gateway refused the page; the caller goes on to the next
  kRejected,  // NAK: the block was not understood; a caller would send it again
};

// The verdict in what the line sent after a page block: the first of ACK CR,
// RS CR and NAK CR.
TapVerdict FindTapVerdict(std::string_view from_line);

// "accepted (ACK)", "refused (RS)", "rejected (NAK)", "no answer".
std::string TapVerdictText(TapVerdict verdict);

// Plays the call on a connected modem, every step and every byte the line
// sent going to `transcript` as the caller scripts show them. kNone when the
// call broke off before the gateway gave its verdict; `failure` then says
// where. The caller hangs up at the end if the line has not.
TapVerdict PlayTapPageCall(ModemSimulator& modem, const DemoPageRequest& page, std::ostream& transcript,
                           std::string& failure);

}  // namespace vltg::testing
