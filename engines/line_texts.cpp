#include "engines/line_texts.h"

#include <span>

#include "platform/telephony/tapi_constants.h"

namespace vltg {

namespace {

using namespace vltg::platform;

struct Text {
  std::uint32_t value;
  const char* text;
};

// Looks Value up by equality; nullptr when it is not listed.
const char* Find(std::span<const Text> table, std::uint32_t value) {
  for (const Text& entry : table) {
    if (entry.value == value) return entry.text;
  }
  return nullptr;
}

constexpr Text kCallStates[] = {
    {LINECALLSTATE_IDLE, "IDLE"},
    {LINECALLSTATE_OFFERING, "OFFERING"},
    {LINECALLSTATE_ACCEPTED, "ACCEPTED"},
    {LINECALLSTATE_DIALTONE, "DIALTONE"},
    {LINECALLSTATE_DIALING, "DIALING"},
    {LINECALLSTATE_RINGBACK, "RINGBACK"},
    {LINECALLSTATE_BUSY, "BUSY"},
    {LINECALLSTATE_SPECIALINFO, "SPECIALINFO"},
    {LINECALLSTATE_CONNECTED, "CONNECTED"},
    {LINECALLSTATE_PROCEEDING, "PROCEEDING"},
    {LINECALLSTATE_ONHOLD, "ONHOLD"},
    {LINECALLSTATE_CONFERENCED, "CONFERENCED"},
    {LINECALLSTATE_ONHOLDPENDCONF, "ONHOLDPENDCONF"},
    {LINECALLSTATE_ONHOLDPENDTRANSFER, "ONHOLDPENDTRANSFER"},
    {LINECALLSTATE_DISCONNECTED, "DISCONNECTED"},
    {LINECALLSTATE_UNKNOWN, "UNKNOWN"},
};

constexpr Text kDialToneModes[] = {
    {LINEDIALTONEMODE_NORMAL, "Dialtone normal"},
    {LINEDIALTONEMODE_SPECIAL, "SPECIAL"},
    {LINEDIALTONEMODE_INTERNAL, "INTERNAL"},
    {LINEDIALTONEMODE_EXTERNAL, "EXTERNAL"},
    {LINEDIALTONEMODE_UNKNOWN, "UNKNOWN"},
    {LINEDIALTONEMODE_UNAVAIL, "UNAVAIL"},
};

constexpr Text kBusyModes[] = {
    {LINEBUSYMODE_STATION, "STATION"},
    {LINEBUSYMODE_TRUNK, "TRUNK"},
    {LINEBUSYMODE_UNKNOWN, "UNKNOWN"},
    {LINEBUSYMODE_UNAVAIL, "UNAVAIL"},
};

constexpr Text kDisconnectModes[] = {
    {LINEDISCONNECTMODE_NORMAL, "NORMAL"},
    {LINEDISCONNECTMODE_UNKNOWN, "UNKNOWN"},
    {LINEDISCONNECTMODE_REJECT, "REJECT"},
    {LINEDISCONNECTMODE_PICKUP, "PICKUP"},
    {LINEDISCONNECTMODE_FORWARDED, "FORWARDED"},
    {LINEDISCONNECTMODE_BUSY, "BUSY"},
    {LINEDISCONNECTMODE_NOANSWER, "NOANSWER"},
    {LINEDISCONNECTMODE_BADADDRESS, "BADADDRESS"},
    {LINEDISCONNECTMODE_UNREACHABLE, "UNREACHABLE"},
    {LINEDISCONNECTMODE_CONGESTION, "CONGESTION"},
    {LINEDISCONNECTMODE_INCOMPATIBLE, "INCOMPATIBLE"},
    {LINEDISCONNECTMODE_UNAVAIL, "UNAVAIL"},
    {LINEDISCONNECTMODE_NODIALTONE, "NODIALTONE"},
};

// Serial error flags (CE_RXOVER ... CE_MODE) as the port reports them.
constexpr Text kCommErrors[] = {
    {0x0001, "An input buffer overflow has occurred. There is either no room in the input buffer, "
             "or a character was received after the end-of-file (EOF) character."},
    {0x0002, "A character-buffer overrun has occurred. The next character is lost."},
    {0x0004, "The hardware detected a parity error."},
    {0x0008, "The hardware detected a framing error."},
    {0x0010, "The hardware detected a break condition."},
    {0x0100, "The application tried to transmit a character, but the output buffer was full."},
    {0x0200, "Windows 95 only: A time-out occurred on a parallel device."},
    {0x0400, "An I/O error occurred during communications with the device."},
    {0x0800, "Windows 95 only: A parallel device is not selected."},
    {0x1000, "Windows 95 only: A parallel device signaled that it is out of paper."},
    {0x8000, "The requested mode is not supported, or the hFile parameter is invalid. "
             "If this value is specified, it is the only valid error."},
};

}  // namespace

std::string CallStateText(std::uint32_t State) {
  if (const char* text = Find(kCallStates, State)) return text;
  return "Unknown (" + std::to_string(State) + ")";
}

std::string CallStateDetailText(std::uint32_t State, std::uint32_t Mode) {
  if (Mode == 0) return "Command complete";
  const char* text = nullptr;
  switch (State) {
    case LINECALLSTATE_DIALTONE: text = Find(kDialToneModes, Mode); break;
    case LINECALLSTATE_BUSY: text = Find(kBusyModes, Mode); break;
    case LINECALLSTATE_DISCONNECTED: text = Find(kDisconnectModes, Mode); break;
    default: break;
  }
  if (text != nullptr) return text;
  return "Undefined (" + std::to_string(Mode) + ")";
}

std::string CommErrorText(std::uint32_t Errors) {
  const char* text = Find(kCommErrors, Errors);
  return text != nullptr ? text : "";
}

}  // namespace vltg
