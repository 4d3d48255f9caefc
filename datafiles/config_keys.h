#pragma once
// Every section and key of Config.Dat, with the default each program uses when
// the key is missing. The gateway only reads; the manager reads to fill its
// pages and writes. Where the two defaults differ, both are kept.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vltg {

struct TextKey {
  std::string_view name;
  std::string_view gateway_default;
  std::string_view manager_default;
};

struct IntegerKey {
  std::string_view name;
  std::int32_t gateway_default;
  std::int32_t manager_default;
};

// Read as an integer, non-zero meaning true; written as "1" or "0".
struct BoolKey {
  std::string_view name;
  bool gateway_default;
  bool manager_default;
};

// The rates that the ComSpeed list indexes of [TNPP] and of a port section name.
inline constexpr std::array<std::int32_t, 13> kComSpeedRates{110,   300,   600,   1200,  2400,  4800,  9600,
                                                              14400, 19200, 38400, 56000, 57600, 115200};

// The system identifier of the published WCTP v1r1 document type definition.
inline constexpr std::string_view kDefaultWctpDocType = "http://dtd.wctp.org/wctp-dtd-v1r1.dtd";
inline constexpr std::string_view kDefaultWctpSenderId = "NOYB";

// [Server]: the service logon; the gateway does not read it.
inline constexpr std::string_view kServerSection = "Server";
inline constexpr TextKey kServerLogonName{"LogonName", "", ""};
inline constexpr TextKey kServerPassword{"Password", "", ""};
inline constexpr BoolKey kServerDefaultLogon{"DefaultLogon", true, true};

// [TNPP]: the one TNPP link. The manager keeps the number keys as typed texts.
inline constexpr std::string_view kTnppSection = "TNPP";
inline constexpr BoolKey kTnppEnableTNPP{"EnableTNPP", false, false};
inline constexpr IntegerKey kTnppSourceAddr{"SourceAddr", 0, 0};
inline constexpr IntegerKey kTnppBusyRtyTO{"BusyRtyTO", 60, 60};
inline constexpr IntegerKey kTnppIdelTO{"IdelTO", 10, 10};  // spelled so in every Config.Dat
inline constexpr IntegerKey kTnppRetryCount{"RetryCount", 6, 6};
inline constexpr IntegerKey kTnppKeepAliveTO{"KeepAliveTO", 60, 60};
inline constexpr IntegerKey kTnppIntCharTime{"IntCharTime", 2, 2};
inline constexpr IntegerKey kTnppRSHoldRetry{"RSHoldRetry", 24, 24};
inline constexpr IntegerKey kTnppRSHoldTime{"RSHoldTime", 10, 10};
inline constexpr IntegerKey kTnppENQRetries{"ENQRetries", 6, 6};
inline constexpr IntegerKey kTnppENQTO{"ENQTO", 10, 10};
inline constexpr IntegerKey kTnppUseCom{"UseCom", 0, 0};            // 0 = COM1 ... 3 = COM4
inline constexpr IntegerKey kTnppComSettings{"ComSettings", 0, 0};  // TnppCharFormat
inline constexpr IntegerKey kTnppHandShake{"HandShake", 0, 0};      // TnppHandshake
inline constexpr IntegerKey kTnppComSpeed{"ComSpeed", 6, 6};        // index into kComSpeedRates
// A key never written means true to the gateway and an unchecked box to the manager.
inline constexpr BoolKey kTnppSTXInit{"STXInit", true, false};
inline constexpr BoolKey kTnppTransparentCRC{"TransparentCRC", true, false};

// [WCTP]: the WCTP sender, read by the gateway at each WCTP delivery.
inline constexpr std::string_view kWctpSection = "WCTP";
inline constexpr TextKey kWctpSenderID{"WCTPSenderID", kDefaultWctpSenderId, kDefaultWctpSenderId};
inline constexpr TextKey kWctpMiscSenderInfo{"WCTPMiscSenderInfo", "", ""};
inline constexpr TextKey kWctpDocType{"WCTPDocType", kDefaultWctpDocType, kDefaultWctpDocType};
// How much of each value the gateway uses.
inline constexpr std::size_t kWctpSenderIdMaxLength = 100;
inline constexpr std::size_t kWctpMiscSenderInfoMaxLength = 100;
inline constexpr std::size_t kWctpDocTypeMaxLength = 255;

// [Misc]: manual (terminal) TAP entry, read by each TAP port thread.
inline constexpr std::string_view kMiscSection = "Misc";
inline constexpr TextKey kMiscHeader{"mHeader", "", ""};
inline constexpr IntegerKey kMiscEmulation{"mEmulation", 0, 0};  // 0 = Glenair, 1 = Hark

// [<port name>]: one section per TAP port (the list is [Tap Ports], tap_ports.h).
inline constexpr BoolKey kPortEnabled{"Enabled", false, false};
inline constexpr IntegerKey kPortDeviceID{"DeviceID", 0, 0};  // the manager stores -1 for no modem
inline constexpr BoolKey kPortDirectAccess{"DirectAccess", false, false};
inline constexpr IntegerKey kPortComPort{"ComPort", 0, 0};  // 0 = COM1: the engine's ComPort is this + 1
// The manager writes the key spelled "COMSpeed"; names match without regard to case.
inline constexpr IntegerKey kPortComSpeed{"COMSpeed", 3, 3};
inline constexpr IntegerKey kPortDataSettings{"DataSettings", 0, 0};  // PortCharFormat
inline constexpr IntegerKey kPortFlowCtrl{"FlowCtrl", 1, 1};          // PortFlowControl
inline constexpr IntegerKey kPortRings{"Rings", 1, 1};
inline constexpr TextKey kPortPassword{"Password", "", ""};
// A key never written means 230 to the gateway and 160 in the manager's dialog.
inline constexpr IntegerKey kPortLength{"Length", 230, 160};
inline constexpr BoolKey kPortTruncateMsgs{"TruncateMsgs", false, false};
inline constexpr IntegerKey kPortTimeOut{"TimeOut", 60, 60};  // kept for the port dialog; the gateway does not read it

}  // namespace vltg
