#pragma once
// The telephony line functions the TAP engine and the manager call, with the
// meanings of the Windows line interface they were written against.
//
// Lines are the ones $VLTG_ROOT/telephony.ini lists, device identifier = their
// order there (telephony_ini.h); each is a Hayes-command modem on a serial
// device, driven by the provider (modem_line.h). Results are 0 for success, a
// positive request identifier for an asynchronous request (its outcome comes
// later as LINE_REPLY), or a negative LINEERR_ value.
//
// Notifications: lineInitialize records the calling thread. Everything about
// that application's lines (LINE_CALLSTATE, LINE_LINEDEVSTATE, LINE_REPLY,
// LINE_CLOSE) is queued for that thread and handed to the callback only while
// the thread pumps its messages (platform/messages), one notification per
// dispatch, in the order they happened. The callback may pump again; the next
// notification is then delivered inside it. Closing a line (or deallocating a
// call) takes its notifications still queued out of the queue.
//
// Every function may be called from any thread; the initialising thread is
// only where notifications arrive.
#include <cstdint>
#include <functional>
#include <string>

#include "platform/telephony/device_config.h"
#include "platform/telephony/line_records.h"

namespace vltg::platform {

using HLINEAPP = uint32_t;
using HLINE = uint32_t;
using HCALL = uint32_t;

// hDevice is the line (LINE_LINEDEVSTATE, LINE_CLOSE), the call
// (LINE_CALLSTATE) or 0 (LINE_REPLY). dwCallbackInstance is the value given to
// lineOpen. Parameters as the Windows interface gives them:
//   LINE_CALLSTATE: new state, its detail mode, and for a new call the
//     privilege the application has on it (else 0).
//   LINE_LINEDEVSTATE: the device state (LINEDEVSTATE_RINGING), for a ring
//     the ring mode (1) and the ring count of the call, from 0.
//   LINE_REPLY: the request identifier and the result (a LINEERR_ value's
//     bits, or 0).
using LINECALLBACK = std::function<void(uint32_t hDevice, uint32_t dwMessage, uint32_t dwCallbackInstance,
                                        uint32_t dwParam1, uint32_t dwParam2, uint32_t dwParam3)>;

// Reads the line list when no application is initialised and no line open
// (so a changed telephony.ini counts from the next start), and reports the
// number of lines. A telephony.ini that exists but cannot be read is no empty
// list: EFileError, naming it and the reason, is raised.
int32_t lineInitialize(HLINEAPP* lphLineApp, LINECALLBACK lpfnCallback, const std::string& lpszAppName,
                       uint32_t* lpdwNumDevs);
// Closes the application's open lines and drops its queued notifications.
int32_t lineShutdown(HLINEAPP hLineApp);

// Versions 0x00010004 to 0x00020000 are supported: the highest in both
// ranges, else LINEERR_INCOMPATIBLEAPIVERSION. The extension identifier, when
// asked for, is all zero (the lines have no extensions).
int32_t lineNegotiateAPIVersion(HLINEAPP hLineApp, uint32_t dwDeviceID, uint32_t dwAPILowVersion,
                                uint32_t dwAPIHighVersion, uint32_t* lpdwAPIVersion,
                                LINEEXTENSIONID* lpExtensionID = nullptr);
int32_t lineGetDevCaps(HLINEAPP hLineApp, uint32_t dwDeviceID, uint32_t dwAPIVersion, uint32_t dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps);

// A line is held by one open at a time, in this process or another: a second
// open, or a device some other program holds, gives LINEERR_ALLOCATED; a
// device that does not exist LINEERR_NODEVICE, a line telephony.ini gives
// unusable values LINEERR_INIFILECORRUPT. LINECALLPRIVILEGE_NONE (or MONITOR
// alone) only holds the device. OWNER (with or without MONITOR) needs the
// data-modem media mode; it initialises the modem before returning
// (LINEERR_OPERATIONFAILED when the modem does not take it) and then offers
// incoming calls. A modem that stops answering, or a device that goes away
// while the line reads it (not during a connected call, whose bytes are the
// caller's), ends the line with LINE_CLOSE.
int32_t lineOpen(HLINEAPP hLineApp, uint32_t dwDeviceID, HLINE* lphLine, uint32_t dwAPIVersion,
                 uint32_t dwExtVersion, uint32_t dwCallbackInstance, uint32_t dwPrivileges, uint32_t dwMediaModes,
                 const void* lpCallParams = nullptr);
// Hangs up a call still up, waits for the modem to be back on hook, frees the
// line's calls and purges its queued notifications. Also ends a line after
// LINE_CLOSE.
int32_t lineClose(HLINE hLine);

// Stored only: the modem never answers by itself.
int32_t lineSetNumRings(HLINE hLine, uint32_t dwAddressID, uint32_t dwNumRings);
// Which LINE_LINEDEVSTATE notifications the application wants; none at first.
int32_t lineSetStatusMessages(HLINE hLine, uint32_t dwLineStates, uint32_t dwAddressStates);
// The line's one address (0): MAKECALL while no call is up on it.
int32_t lineGetAddressStatus(HLINE hLine, uint32_t dwAddressID, LINEADDRESSSTATUS* lpAddressStatus);

// Asynchronous. lineAnswer needs an offered call; its LINE_REPLY comes once
// the modem has taken ATA, the outcome as CONNECTED or as DISCONNECTED then
// IDLE. lineDrop hangs up an offered, answering or connected call; IDLE and
// then LINE_REPLY follow once the modem is back on hook and initialised.
int32_t lineAnswer(HCALL hCall, const void* lpsUserUserInfo = nullptr, uint32_t dwSize = 0);
int32_t lineDrop(HCALL hCall, const void* lpsUserUserInfo = nullptr, uint32_t dwSize = 0);
// Frees an IDLE call (LINEERR_INVALCALLSTATE otherwise) and its queued
// notifications.
int32_t lineDeallocateCall(HCALL hCall);

// "comm/datamodem" with LINECALLSELECT_CALL for a connected call: the string
// part (STRINGFORMAT_BINARY) is a port descriptor, 4 bytes little-endian,
// followed by the device path and a NUL. The descriptor is the caller's: a
// duplicate of the line's own, open for reading and writing, non-blocking,
// raw, which the caller closes (SerialPort::Adopt takes it over). When the
// record is too small no descriptor is made.
int32_t lineGetID(HLINE hLine, uint32_t dwAddressID, HCALL hCall, uint32_t dwSelect, VARSTRING* lpDeviceID,
                  const std::string& lpszDeviceClass);

// The device configuration block (device_config.h) of "comm/datamodem": what
// the line's next open uses. A set lasts while this process runs; a block that
// is not one of ours is refused with LINEERR_INVALPARAM. Neither needs
// lineInitialize.
int32_t lineGetDevConfig(uint32_t dwDeviceID, VARSTRING* lpDeviceConfig, const std::string& lpszDeviceClass);
int32_t lineSetDevConfig(uint32_t dwDeviceID, const void* lpDeviceConfig, uint32_t dwSize,
                         const std::string& lpszDeviceClass);

// Why telephony.ini's line cannot be used, the reason behind the functions'
// LINEERR_INIFILECORRUPT (e.g. "Device: missing"); empty for a usable line or
// no such line. Needs no lineInitialize.
std::string LineUnusableReason(uint32_t dwDeviceID);

// The provider's configuration dialog: shown with the configuration given
// (or, for size 0, the line's current one) and, when accepted, the edited
// block returned in lpDeviceConfigOut. The line's own configuration is not
// changed. LINEERR_OPERATIONUNAVAIL while no dialog is installed,
// LINEERR_OPERATIONFAILED when the user cancels.
int32_t lineConfigDialogEdit(uint32_t dwDeviceID, void* hwndOwner, const std::string& lpszDeviceClass,
                             const void* lpDeviceConfigIn, uint32_t dwSize, VARSTRING* lpDeviceConfigOut);

// What shows the configuration dialog (the manager installs its own): edits
// `config` for the line named and returns true when the user accepted.
using DevConfigDialog = std::function<bool(void* owner, const std::string& line_name, DeviceConfig& config)>;
void SetDevConfigDialog(DevConfigDialog dialog);

// What a device reports of itself: the interface versions it supports and
// its capabilities (lineNegotiateAPIVersion and lineGetDevCaps answer from
// them; a version outside the range is LINEERR_INCOMPATIBLEAPIVERSION).
struct LineDeviceTraits {
  uint32_t low_version = 0;
  uint32_t high_version = 0;
  LINEDEVCAPS caps;
};
// A test provider: changes the traits of the devices telephony.ini lists, to
// stand in for lines our modem provider never has (a voice-only line, one of
// another interface version). Runs under the line layer's lock, so it calls
// no line function. None is installed outside tests.
using LineTestProvider = std::function<void(uint32_t device_id, LineDeviceTraits& traits)>;
void SetLineTestProvider(LineTestProvider provider);

}  // namespace vltg::platform
