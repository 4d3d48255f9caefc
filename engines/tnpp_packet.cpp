#include "engines/tnpp_packet.h"

#include <algorithm>

#include "engines/crc16.h"

namespace vltg {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr size_t kCapcodeWidth = 10;
// SOH, header, STX, "B", "@", capcode, ETX.
constexpr size_t kPageFraming = 1 + 12 + 1 + 1 + 1 + kCapcodeWidth + 1;
// SOH and the header: the fixed fields every packet has before ETX.
constexpr size_t kHeaderEnd = 13;

void AppendHex(std::string& out, uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsBlankOrControl(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Characters that end, start or abort a packet at the receiver.
bool IsFramingChar(char c) { return static_cast<unsigned char>(c) <= tnpp::ENQ; }

}  // namespace

size_t PacketSizeLimit(tPacketSize Size) { return Size == ps1024 ? 1024 : 4096; }

std::optional<std::string> BuildTnppHeader(const TnppHeaderFields& Fields) {
  if (Fields.Dest > kTnppMaxAddress || Fields.Inertia > kTnppMaxInertia || Fields.Source > kTnppMaxAddress ||
      Fields.Serial > 0xFF) {
    return std::nullopt;
  }
  std::string header(1, tnpp::SOH);
  AppendHex(header, Fields.Dest, 4);
  AppendHex(header, Fields.Inertia, 2);
  AppendHex(header, Fields.Source, 4);
  AppendHex(header, Fields.Serial, 2);
  return header;
}

size_t TnppCRCLength(bool Transparent) { return Transparent ? 4 : 2; }

std::string TnppCRCText(std::string_view Packet, bool Transparent) {
  if (Packet.empty()) return {};
  const uint16_t crc = CRC16(Packet);
  const auto low = static_cast<uint8_t>(crc & 0xFF);
  const auto high = static_cast<uint8_t>(crc >> 8);
  if (!Transparent) return {static_cast<char>(low), static_cast<char>(high)};
  std::string text;
  AppendHex(text, low, 2);
  AppendHex(text, high, 2);
  return text;
}

uint16_t NextTnppSerial(uint16_t Serial) { return Serial >= 255 ? 1 : Serial + 1; }

std::string CleanTnppField(std::string_view Text) {
  while (!Text.empty() && IsBlankOrControl(Text.front())) Text.remove_prefix(1);
  while (!Text.empty() && IsBlankOrControl(Text.back())) Text.remove_suffix(1);
  std::string clean(Text);
  std::replace_if(clean.begin(), clean.end(), IsFramingChar, ' ');
  return clean;
}

std::optional<std::string> BuildTnppPagePacket(const TnppHeaderFields& Fields, std::string_view Capcode,
                                               std::string_view Msg, tPacketSize Size, bool Transparent) {
  auto packet = BuildTnppHeader(Fields);
  if (!packet) return std::nullopt;
  std::string capcode = CleanTnppField(Capcode);
  capcode.resize(kCapcodeWidth, ' ');
  std::string message = CleanTnppField(Msg);
  // The whole packet, CRC included, must fit what the peer accepts.
  const size_t room = PacketSizeLimit(Size) - kPageFraming - TnppCRCLength(Transparent);
  if (message.size() > room) message.resize(room);

  *packet += tnpp::STX;
  *packet += "B@";
  *packet += capcode;
  *packet += message;
  *packet += tnpp::ETX;
  *packet += TnppCRCText(*packet, Transparent);
  return packet;
}

bool SetTnppSerial(std::string& Packet, uint16_t Serial, bool Transparent) {
  const size_t crc_length = TnppCRCLength(Transparent);
  if (Serial > 0xFF || Packet.size() < kHeaderEnd + 1 + crc_length) return false;
  Packet[11] = kHexDigits[Serial >> 4];
  Packet[12] = kHexDigits[Serial & 0xF];
  Packet.resize(Packet.size() - crc_length);
  Packet += TnppCRCText(Packet, Transparent);
  return true;
}

std::optional<uint16_t> TnppSerialOf(std::string_view Packet) {
  if (Packet.size() < kHeaderEnd + 1) return std::nullopt;
  const int high = HexValue(Packet[11]);
  const int low = HexValue(Packet[12]);
  if (high < 0 || low < 0) return std::nullopt;
  return static_cast<uint16_t>(high * 16 + low);
}

std::optional<std::string> BuildTnppLinkTestPacket(uint32_t Inertia, uint32_t Source, bool STXInit,
                                                   bool Transparent) {
  auto packet = BuildTnppHeader({0, Inertia, Source, 0});
  if (!packet) return std::nullopt;
  if (STXInit) *packet += tnpp::STX;
  *packet += tnpp::ETX;
  *packet += TnppCRCText(*packet, Transparent);
  return packet;
}

TnppBlock TnppBlockOf(char Type) {
  switch (Type) {
    case '>': return TnppBlock::kETERequest;
    case '<': return TnppBlock::kETEResponce;
    case 'A': return TnppBlock::kCapPage;
    case 'B': return TnppBlock::kIdPage;
    case 'C': return TnppBlock::kCommand;
    case 'D': return TnppBlock::kData;
    case 'E': return TnppBlock::kStatus;
    case 'F': return TnppBlock::kExtCapPage;
    case 'G': return TnppBlock::kCapPageGroupCall;
    case 'H': return TnppBlock::kIDPageGroupCall;
    case 'I': return TnppBlock::kGroupCall;
    default: return TnppBlock::kNone;
  }
}

TnppRxPacket ParseTnppPacket(std::string_view Text, tPacketSize Size, bool Transparent) {
  TnppRxPacket rx;
  if (Text.size() > PacketSizeLimit(Size)) {
    rx.Verdict = TnppRxVerdict::kTooLong;
    return rx;
  }
  // A CRC cut short (a short read after ETX) fails like a wrong one: the
  // peer is asked to send again.
  const size_t crc_length = TnppCRCLength(Transparent);
  if (Text.size() <= crc_length) {
    rx.Verdict = TnppRxVerdict::kBadCRC;
    return rx;
  }
  const std::string_view covered = Text.substr(0, Text.size() - crc_length);
  if (TnppCRCText(covered, Transparent) != Text.substr(covered.size())) {
    rx.Verdict = TnppRxVerdict::kBadCRC;
    return rx;
  }
  // From here on the bytes are what the peer meant to send; a packet without
  // its fixed fields is refused, never read past its end.
  if (covered.size() < kHeaderEnd + 1 || covered.front() != tnpp::SOH || covered.back() != tnpp::ETX) {
    rx.Verdict = TnppRxVerdict::kMalformed;
    return rx;
  }
  const int high = HexValue(covered[5]);
  const int low = HexValue(covered[6]);
  if (high < 0 || low < 0) {
    rx.Verdict = TnppRxVerdict::kMalformed;
    return rx;
  }
  rx.Verdict = TnppRxVerdict::kValid;
  rx.Header = std::string(covered.substr(1, 12));
  rx.LinkTest = covered.substr(1, 4) == "0000";
  rx.Inertia = high * 16 + low;
  rx.Forward = rx.Inertia > 1;
  // Character 15 is a block type only when ETX has not come yet.
  if (covered.size() > kHeaderEnd + 2) rx.Block = TnppBlockOf(covered[kHeaderEnd + 1]);
  return rx;
}

void LowerTnppInertia(std::string& Text, int Inertia) {
  if (Text.size() < 7 || Inertia < 1 || Inertia > 0xFF) return;
  const auto lowered = static_cast<uint32_t>(Inertia - 1);
  Text[5] = kHexDigits[lowered >> 4];
  Text[6] = kHexDigits[lowered & 0xF];
}

}  // namespace vltg
