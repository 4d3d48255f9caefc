#pragma once
// TNPP packets as the link puts them on the line and takes them off it. Pure
// bytes in, bytes out; the link engine keeps the state (serial number, recent
// headers, queue).
//
//   page:      SOH header STX "B" "@" capcode(10) message ETX CRC
//   link test: SOH header [STX] ETX CRC          (destination 0000, serial 00)
//   header:    "%4.4X%2.2X%4.4X%2.2X" of destination, inertia, source, serial
//   CRC:       CRC-16 of SOH through ETX, raw (2 bytes, low first) or
//              transparent (4 upper-case hex digits, low byte first)
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vltg {

namespace tnpp {
constexpr char SOH = 0x01;
constexpr char STX = 0x02;
constexpr char ETX = 0x03;
constexpr char EOT = 0x04;
constexpr char ENQ = 0x05;
constexpr char ACK = 0x06;
constexpr char NAK = 0x15;
constexpr char CAN = 0x18;
constexpr char RS = 0x1E;
}  // namespace tnpp

// Longest packet, CRC included, that either end accepts.
enum tPacketSize : uint8_t { ps1024, ps4096 };
size_t PacketSizeLimit(tPacketSize Size);

// The largest values the header's fields carry.
constexpr uint32_t kTnppMaxAddress = 0xFFFF;  // destination and source
constexpr uint32_t kTnppMaxInertia = 0xFF;

struct TnppHeaderFields {
  uint32_t Dest = 0;     // 16 bits
  uint32_t Inertia = 0;  // 8 bits
  uint32_t Source = 0;   // 16 bits
  uint32_t Serial = 0;   // 8 bits
};

// SOH and the 12 header characters; nothing when a field does not fit its
// width (the header would come out longer and misframe the packet).
std::optional<std::string> BuildTnppHeader(const TnppHeaderFields& Fields);

// The CRC text of Packet in the chosen encoding; empty for an empty packet.
std::string TnppCRCText(std::string_view Packet, bool Transparent);
size_t TnppCRCLength(bool Transparent);

// The serial number after Serial: 1 .. 255, then 1 again.
uint16_t NextTnppSerial(uint16_t Serial);

// A capcode or message made fit for framing: blanks and control characters
// trimmed from both ends; NUL, SOH, STX, ETX, EOT and ENQ inside become blanks.
std::string CleanTnppField(std::string_view Text);

// The page packet: the capcode cleaned and cut or padded to 10, the message
// cleaned and cut so that the whole packet fits Size. Nothing when a header
// field does not fit.
std::optional<std::string> BuildTnppPagePacket(const TnppHeaderFields& Fields, std::string_view Capcode,
                                               std::string_view Msg, tPacketSize Size, bool Transparent);

// Gives a built packet serial number Serial (characters 12 .. 13) and the CRC
// to match. False, the packet unchanged, when it is too short to carry a
// header and a CRC or the serial does not fit.
bool SetTnppSerial(std::string& Packet, uint16_t Serial, bool Transparent);
// The serial number a built packet carries; nothing when it carries none.
std::optional<uint16_t> TnppSerialOf(std::string_view Packet);

// The link-test packet (destination 0, serial 0), STX only with STXInit.
std::optional<std::string> BuildTnppLinkTestPacket(uint32_t Inertia, uint32_t Source, bool STXInit,
                                                   bool Transparent);

// Block types of received packets; each has its own receive event.
enum class TnppBlock : uint8_t {
  kNone,  // no block type, or one the link does not know
  kETERequest,        // '>'
  kETEResponce,       // '<'
  kCapPage,           // 'A'
  kIdPage,            // 'B'
  kCommand,           // 'C'
  kData,              // 'D'
  kStatus,            // 'E'
  kExtCapPage,        // 'F'
  kCapPageGroupCall,  // 'G'
  kIDPageGroupCall,   // 'H'
  kGroupCall,         // 'I'
};
TnppBlock TnppBlockOf(char Type);

enum class TnppRxVerdict : uint8_t {
  kValid,
  kTooLong,    // longer than the packet size: answer CAN
  kBadCRC,     // CRC text missing or wrong: answer NAK
  kMalformed,  // CRC right but fields missing or inertia not hex: answer CAN
};

struct TnppRxPacket {
  TnppRxVerdict Verdict = TnppRxVerdict::kMalformed;
  // The rest only for kValid.
  std::string Header;      // characters 2 .. 13: the packet's identity
  bool LinkTest = false;   // destination "0000"
  int Inertia = 0;         // characters 6 .. 7
  bool Forward = false;    // inertia above 1: hand on with it lowered; else
                           // the packet's travel ends here (answer ACK)
  TnppBlock Block = TnppBlock::kNone;  // character 15, when before ETX
};

// Takes apart a received packet: SOH through ETX, then the CRC characters.
TnppRxPacket ParseTnppPacket(std::string_view Text, tPacketSize Size, bool Transparent);

// Writes Inertia - 1 into characters 6 .. 7 of a valid packet (two upper-case
// hex digits; the CRC is left as received).
void LowerTnppInertia(std::string& Text, int Inertia);

}  // namespace vltg
