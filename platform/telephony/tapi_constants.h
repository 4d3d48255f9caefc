#pragma once
// Named values of the telephony line interface: the error results of the line
// functions, the call states with their detail modes, the notifications, and
// the versions, privileges, modes and features the lines use. The telephony
// layer reports with these values, the TAP engine and the manager test for them.
#include <cstdint>

namespace vltg::platform {

namespace tapi_detail {
constexpr std::int32_t Err(std::uint32_t bits) { return static_cast<std::int32_t>(bits); }
}  // namespace tapi_detail

// Results of the line functions: zero is success, a positive value is the
// request identifier of an asynchronous call, a negative value is one of these
// errors (the list has no constant for two of its values).
inline constexpr std::int32_t LINEERR_ALLOCATED = tapi_detail::Err(0x80000001);
inline constexpr std::int32_t LINEERR_BADDEVICEID = tapi_detail::Err(0x80000002);
inline constexpr std::int32_t LINEERR_BEARERMODEUNAVAIL = tapi_detail::Err(0x80000003);
// 0x80000004: no constant.
inline constexpr std::int32_t LINEERR_CALLUNAVAIL = tapi_detail::Err(0x80000005);
inline constexpr std::int32_t LINEERR_COMPLETIONOVERRUN = tapi_detail::Err(0x80000006);
inline constexpr std::int32_t LINEERR_CONFERENCEFULL = tapi_detail::Err(0x80000007);
inline constexpr std::int32_t LINEERR_DIALBILLING = tapi_detail::Err(0x80000008);
inline constexpr std::int32_t LINEERR_DIALDIALTONE = tapi_detail::Err(0x80000009);
inline constexpr std::int32_t LINEERR_DIALPROMPT = tapi_detail::Err(0x8000000A);
inline constexpr std::int32_t LINEERR_DIALQUIET = tapi_detail::Err(0x8000000B);
inline constexpr std::int32_t LINEERR_INCOMPATIBLEAPIVERSION = tapi_detail::Err(0x8000000C);
inline constexpr std::int32_t LINEERR_INCOMPATIBLEEXTVERSION = tapi_detail::Err(0x8000000D);
inline constexpr std::int32_t LINEERR_INIFILECORRUPT = tapi_detail::Err(0x8000000E);
inline constexpr std::int32_t LINEERR_INUSE = tapi_detail::Err(0x8000000F);
inline constexpr std::int32_t LINEERR_INVALADDRESS = tapi_detail::Err(0x80000010);
inline constexpr std::int32_t LINEERR_INVALADDRESSID = tapi_detail::Err(0x80000011);
inline constexpr std::int32_t LINEERR_INVALADDRESSMODE = tapi_detail::Err(0x80000012);
inline constexpr std::int32_t LINEERR_INVALADDRESSSTATE = tapi_detail::Err(0x80000013);
inline constexpr std::int32_t LINEERR_INVALAPPHANDLE = tapi_detail::Err(0x80000014);
inline constexpr std::int32_t LINEERR_INVALAPPNAME = tapi_detail::Err(0x80000015);
inline constexpr std::int32_t LINEERR_INVALBEARERMODE = tapi_detail::Err(0x80000016);
inline constexpr std::int32_t LINEERR_INVALCALLCOMPLMODE = tapi_detail::Err(0x80000017);
inline constexpr std::int32_t LINEERR_INVALCALLHANDLE = tapi_detail::Err(0x80000018);
inline constexpr std::int32_t LINEERR_INVALCALLPARAMS = tapi_detail::Err(0x80000019);
inline constexpr std::int32_t LINEERR_INVALCALLPRIVILEGE = tapi_detail::Err(0x8000001A);
inline constexpr std::int32_t LINEERR_INVALCALLSELECT = tapi_detail::Err(0x8000001B);
inline constexpr std::int32_t LINEERR_INVALCALLSTATE = tapi_detail::Err(0x8000001C);
inline constexpr std::int32_t LINEERR_INVALCALLSTATELIST = tapi_detail::Err(0x8000001D);
inline constexpr std::int32_t LINEERR_INVALCARD = tapi_detail::Err(0x8000001E);
inline constexpr std::int32_t LINEERR_INVALCOMPLETIONID = tapi_detail::Err(0x8000001F);
inline constexpr std::int32_t LINEERR_INVALCONFCALLHANDLE = tapi_detail::Err(0x80000020);
inline constexpr std::int32_t LINEERR_INVALCONSULTCALLHANDLE = tapi_detail::Err(0x80000021);
inline constexpr std::int32_t LINEERR_INVALCOUNTRYCODE = tapi_detail::Err(0x80000022);
inline constexpr std::int32_t LINEERR_INVALDEVICECLASS = tapi_detail::Err(0x80000023);
inline constexpr std::int32_t LINEERR_INVALDEVICEHANDLE = tapi_detail::Err(0x80000024);
inline constexpr std::int32_t LINEERR_INVALDIALPARAMS = tapi_detail::Err(0x80000025);
inline constexpr std::int32_t LINEERR_INVALDIGITLIST = tapi_detail::Err(0x80000026);
inline constexpr std::int32_t LINEERR_INVALDIGITMODE = tapi_detail::Err(0x80000027);
inline constexpr std::int32_t LINEERR_INVALDIGITS = tapi_detail::Err(0x80000028);
inline constexpr std::int32_t LINEERR_INVALEXTVERSION = tapi_detail::Err(0x80000029);
inline constexpr std::int32_t LINEERR_INVALGROUPID = tapi_detail::Err(0x8000002A);
inline constexpr std::int32_t LINEERR_INVALLINEHANDLE = tapi_detail::Err(0x8000002B);
inline constexpr std::int32_t LINEERR_INVALLINESTATE = tapi_detail::Err(0x8000002C);
inline constexpr std::int32_t LINEERR_INVALLOCATION = tapi_detail::Err(0x8000002D);
inline constexpr std::int32_t LINEERR_INVALMEDIALIST = tapi_detail::Err(0x8000002E);
inline constexpr std::int32_t LINEERR_INVALMEDIAMODE = tapi_detail::Err(0x8000002F);
inline constexpr std::int32_t LINEERR_INVALMESSAGEID = tapi_detail::Err(0x80000030);
// 0x80000031: no constant.
inline constexpr std::int32_t LINEERR_INVALPARAM = tapi_detail::Err(0x80000032);
inline constexpr std::int32_t LINEERR_INVALPARKID = tapi_detail::Err(0x80000033);
inline constexpr std::int32_t LINEERR_INVALPARKMODE = tapi_detail::Err(0x80000034);
inline constexpr std::int32_t LINEERR_INVALPOINTER = tapi_detail::Err(0x80000035);
inline constexpr std::int32_t LINEERR_INVALPRIVSELECT = tapi_detail::Err(0x80000036);
inline constexpr std::int32_t LINEERR_INVALRATE = tapi_detail::Err(0x80000037);
inline constexpr std::int32_t LINEERR_INVALREQUESTMODE = tapi_detail::Err(0x80000038);
inline constexpr std::int32_t LINEERR_INVALTERMINALID = tapi_detail::Err(0x80000039);
inline constexpr std::int32_t LINEERR_INVALTERMINALMODE = tapi_detail::Err(0x8000003A);
inline constexpr std::int32_t LINEERR_INVALTIMEOUT = tapi_detail::Err(0x8000003B);
inline constexpr std::int32_t LINEERR_INVALTONE = tapi_detail::Err(0x8000003C);
inline constexpr std::int32_t LINEERR_INVALTONELIST = tapi_detail::Err(0x8000003D);
inline constexpr std::int32_t LINEERR_INVALTONEMODE = tapi_detail::Err(0x8000003E);
inline constexpr std::int32_t LINEERR_INVALTRANSFERMODE = tapi_detail::Err(0x8000003F);
inline constexpr std::int32_t LINEERR_LINEMAPPERFAILED = tapi_detail::Err(0x80000040);
inline constexpr std::int32_t LINEERR_NOCONFERENCE = tapi_detail::Err(0x80000041);
inline constexpr std::int32_t LINEERR_NODEVICE = tapi_detail::Err(0x80000042);
inline constexpr std::int32_t LINEERR_NODRIVER = tapi_detail::Err(0x80000043);
inline constexpr std::int32_t LINEERR_NOMEM = tapi_detail::Err(0x80000044);
inline constexpr std::int32_t LINEERR_NOREQUEST = tapi_detail::Err(0x80000045);
inline constexpr std::int32_t LINEERR_NOTOWNER = tapi_detail::Err(0x80000046);
inline constexpr std::int32_t LINEERR_NOTREGISTERED = tapi_detail::Err(0x80000047);
inline constexpr std::int32_t LINEERR_OPERATIONFAILED = tapi_detail::Err(0x80000048);
inline constexpr std::int32_t LINEERR_OPERATIONUNAVAIL = tapi_detail::Err(0x80000049);
inline constexpr std::int32_t LINEERR_RATEUNAVAIL = tapi_detail::Err(0x8000004A);
inline constexpr std::int32_t LINEERR_RESOURCEUNAVAIL = tapi_detail::Err(0x8000004B);
inline constexpr std::int32_t LINEERR_REQUESTOVERRUN = tapi_detail::Err(0x8000004C);
inline constexpr std::int32_t LINEERR_STRUCTURETOOSMALL = tapi_detail::Err(0x8000004D);
inline constexpr std::int32_t LINEERR_TARGETNOTFOUND = tapi_detail::Err(0x8000004E);
inline constexpr std::int32_t LINEERR_TARGETSELF = tapi_detail::Err(0x8000004F);
inline constexpr std::int32_t LINEERR_UNINITIALIZED = tapi_detail::Err(0x80000050);
inline constexpr std::int32_t LINEERR_USERUSERINFOTOOBIG = tapi_detail::Err(0x80000051);
inline constexpr std::int32_t LINEERR_REINIT = tapi_detail::Err(0x80000052);
inline constexpr std::int32_t LINEERR_ADDRESSBLOCKED = tapi_detail::Err(0x80000053);
inline constexpr std::int32_t LINEERR_BILLINGREJECTED = tapi_detail::Err(0x80000054);
inline constexpr std::int32_t LINEERR_INVALFEATURE = tapi_detail::Err(0x80000055);
inline constexpr std::int32_t LINEERR_NOMULTIPLEINSTANCE = tapi_detail::Err(0x80000056);
inline constexpr std::int32_t LINEERR_INVALAGENTID = tapi_detail::Err(0x80000057);
inline constexpr std::int32_t LINEERR_INVALAGENTGROUP = tapi_detail::Err(0x80000058);
inline constexpr std::int32_t LINEERR_INVALPASSWORD = tapi_detail::Err(0x80000059);
inline constexpr std::int32_t LINEERR_INVALAGENTSTATE = tapi_detail::Err(0x8000005A);
inline constexpr std::int32_t LINEERR_INVALAGENTACTIVITY = tapi_detail::Err(0x8000005B);
inline constexpr std::int32_t LINEERR_DIALVOICEDETECT = tapi_detail::Err(0x8000005C);

// Call states (one bit each).
inline constexpr std::uint32_t LINECALLSTATE_IDLE = 0x1;
inline constexpr std::uint32_t LINECALLSTATE_OFFERING = 0x2;
inline constexpr std::uint32_t LINECALLSTATE_ACCEPTED = 0x4;
inline constexpr std::uint32_t LINECALLSTATE_DIALTONE = 0x8;
inline constexpr std::uint32_t LINECALLSTATE_DIALING = 0x10;
inline constexpr std::uint32_t LINECALLSTATE_RINGBACK = 0x20;
inline constexpr std::uint32_t LINECALLSTATE_BUSY = 0x40;
inline constexpr std::uint32_t LINECALLSTATE_SPECIALINFO = 0x80;
inline constexpr std::uint32_t LINECALLSTATE_CONNECTED = 0x100;
inline constexpr std::uint32_t LINECALLSTATE_PROCEEDING = 0x200;
inline constexpr std::uint32_t LINECALLSTATE_ONHOLD = 0x400;
inline constexpr std::uint32_t LINECALLSTATE_CONFERENCED = 0x800;
inline constexpr std::uint32_t LINECALLSTATE_ONHOLDPENDCONF = 0x1000;
inline constexpr std::uint32_t LINECALLSTATE_ONHOLDPENDTRANSFER = 0x2000;
inline constexpr std::uint32_t LINECALLSTATE_DISCONNECTED = 0x4000;
inline constexpr std::uint32_t LINECALLSTATE_UNKNOWN = 0x8000;

// Detail mode of the DIALTONE call state.
inline constexpr std::uint32_t LINEDIALTONEMODE_NORMAL = 0x1;
inline constexpr std::uint32_t LINEDIALTONEMODE_SPECIAL = 0x2;
inline constexpr std::uint32_t LINEDIALTONEMODE_INTERNAL = 0x4;
inline constexpr std::uint32_t LINEDIALTONEMODE_EXTERNAL = 0x8;
inline constexpr std::uint32_t LINEDIALTONEMODE_UNKNOWN = 0x10;
inline constexpr std::uint32_t LINEDIALTONEMODE_UNAVAIL = 0x20;

// Detail mode of the BUSY call state.
inline constexpr std::uint32_t LINEBUSYMODE_STATION = 0x1;
inline constexpr std::uint32_t LINEBUSYMODE_TRUNK = 0x2;
inline constexpr std::uint32_t LINEBUSYMODE_UNKNOWN = 0x4;
inline constexpr std::uint32_t LINEBUSYMODE_UNAVAIL = 0x8;

// Detail mode of the DISCONNECTED call state.
inline constexpr std::uint32_t LINEDISCONNECTMODE_NORMAL = 0x1;
inline constexpr std::uint32_t LINEDISCONNECTMODE_UNKNOWN = 0x2;
inline constexpr std::uint32_t LINEDISCONNECTMODE_REJECT = 0x4;
inline constexpr std::uint32_t LINEDISCONNECTMODE_PICKUP = 0x8;
inline constexpr std::uint32_t LINEDISCONNECTMODE_FORWARDED = 0x10;
inline constexpr std::uint32_t LINEDISCONNECTMODE_BUSY = 0x20;
inline constexpr std::uint32_t LINEDISCONNECTMODE_NOANSWER = 0x40;
inline constexpr std::uint32_t LINEDISCONNECTMODE_BADADDRESS = 0x80;
inline constexpr std::uint32_t LINEDISCONNECTMODE_UNREACHABLE = 0x100;
inline constexpr std::uint32_t LINEDISCONNECTMODE_CONGESTION = 0x200;
inline constexpr std::uint32_t LINEDISCONNECTMODE_INCOMPATIBLE = 0x400;
inline constexpr std::uint32_t LINEDISCONNECTMODE_UNAVAIL = 0x800;
inline constexpr std::uint32_t LINEDISCONNECTMODE_NODIALTONE = 0x1000;

// Notifications a line callback receives (dwMessage).
inline constexpr std::uint32_t LINE_CALLSTATE = 2;
inline constexpr std::uint32_t LINE_CLOSE = 3;
inline constexpr std::uint32_t LINE_LINEDEVSTATE = 8;
inline constexpr std::uint32_t LINE_REPLY = 12;

// The range of interface versions the lines support.
inline constexpr std::uint32_t TAPI_VERSION_1_4 = 0x00010004;
inline constexpr std::uint32_t TAPI_VERSION_2_0 = 0x00020000;

// Privileges asked for when opening a line.
inline constexpr std::uint32_t LINECALLPRIVILEGE_NONE = 0x1;
inline constexpr std::uint32_t LINECALLPRIVILEGE_MONITOR = 0x2;
inline constexpr std::uint32_t LINECALLPRIVILEGE_OWNER = 0x4;

// Media modes.
inline constexpr std::uint32_t LINEMEDIAMODE_UNKNOWN = 0x2;
inline constexpr std::uint32_t LINEMEDIAMODE_INTERACTIVEVOICE = 0x4;
inline constexpr std::uint32_t LINEMEDIAMODE_DATAMODEM = 0x10;

// Bearer modes.
inline constexpr std::uint32_t LINEBEARERMODE_VOICE = 0x1;
inline constexpr std::uint32_t LINEBEARERMODE_DATA = 0x8;
inline constexpr std::uint32_t LINEBEARERMODE_PASSTHROUGH = 0x40;

// Line and address features.
inline constexpr std::uint32_t LINEFEATURE_MAKECALL = 0x8;
inline constexpr std::uint32_t LINEADDRFEATURE_MAKECALL = 0x2;

// Line device states (LINE_LINEDEVSTATE's first parameter and the status
// message mask).
inline constexpr std::uint32_t LINEDEVSTATE_OTHER = 0x1;
inline constexpr std::uint32_t LINEDEVSTATE_RINGING = 0x2;

// Mode of an offered call.
inline constexpr std::uint32_t LINEOFFERINGMODE_ACTIVE = 0x1;

// What a line identifier query selects.
inline constexpr std::uint32_t LINECALLSELECT_LINE = 0x1;
inline constexpr std::uint32_t LINECALLSELECT_ADDRESS = 0x2;
inline constexpr std::uint32_t LINECALLSELECT_CALL = 0x4;

// Formats of the text parts of the line records.
inline constexpr std::uint32_t STRINGFORMAT_ASCII = 1;
inline constexpr std::uint32_t STRINGFORMAT_BINARY = 4;

// The device class of a data modem's port and configuration.
inline constexpr char kDeviceClassDataModem[] = "comm/datamodem";

}  // namespace vltg::platform
