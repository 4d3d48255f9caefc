#include "engines/tnpp_packet.h"

#include <gtest/gtest.h>

#include <string>

#include "engines/crc16.h"

namespace vltg {
namespace {

using namespace std::string_literals;

std::string WithCRC(const std::string& covered, bool transparent) {
  return covered + TnppCRCText(covered, transparent);
}

const std::string kPageCovered = "\x01" "000103000001" "\x02" "B@12345     HELLO" "\x03"s;

TEST(Crc16, CheckValueContinuationAndEncodings) {
  EXPECT_EQ(CRC16("123456789"), 0xBB3D);
  EXPECT_EQ(CRC16("56789", CRC16("1234")), 0xBB3D);
  EXPECT_EQ(CRC16(""), 0);
  EXPECT_EQ(TnppCRCText("123456789", false), "\x3D\xBB"s);
  EXPECT_EQ(TnppCRCText("123456789", true), "3DBB");
  EXPECT_EQ(TnppCRCText("", false), "");
  EXPECT_EQ(TnppCRCText("", true), "");
}

TEST(TnppPacket, LinkTestPackets) {
  const auto with_stx = BuildTnppLinkTestPacket(3, 0, true, false);
  ASSERT_TRUE(with_stx);
  EXPECT_EQ(*with_stx, "\x01" "000003000000" "\x02\x03" "\x77\x03"s);
  EXPECT_EQ(with_stx->size(), 17u);
  EXPECT_EQ(*BuildTnppLinkTestPacket(3, 0, true, true), "\x01" "000003000000" "\x02\x03" "7703"s);

  const auto without_stx = BuildTnppLinkTestPacket(3, 0, false, false);
  ASSERT_TRUE(without_stx);
  EXPECT_EQ(without_stx->size(), 16u);
  EXPECT_EQ(CRC16(without_stx->substr(0, 14)), 0x77C7);
  EXPECT_EQ(without_stx->substr(14), "\xC7\x77"s);

  EXPECT_EQ(BuildTnppLinkTestPacket(0xAB, 0x1234, true, true)->substr(1, 12), "0000AB123400");
}

TEST(TnppPacket, PagePacketBothEncodings) {
  const TnppHeaderFields fields{1, 3, 0, 1};
  const auto raw = BuildTnppPagePacket(fields, "12345", "HELLO", ps4096, false);
  ASSERT_TRUE(raw);
  EXPECT_EQ(kPageCovered.size(), 32u);
  EXPECT_EQ(CRC16(kPageCovered), 0xACBA);
  EXPECT_EQ(*raw, kPageCovered + "\xBA\xAC"s);
  EXPECT_EQ(*BuildTnppPagePacket(fields, "12345", "HELLO", ps4096, true), kPageCovered + "BAAC");
}

TEST(TnppPacket, CapcodeAndMessageAreCleanedAndFitted) {
  const TnppHeaderFields fields{1, 3, 0, 1};
  auto body = [&](std::string_view capcode, std::string_view msg) {
    const std::string packet = *BuildTnppPagePacket(fields, capcode, msg, ps4096, false);
    return packet.substr(16, packet.size() - 16 - 3);  // after "B@", before ETX
  };
  EXPECT_EQ(body("123456789012", "x"), "1234567890x");
  EXPECT_EQ(body(" \t 42\r\n", "  hi there \r\n"), "42        hi there");
  // Characters that frame a packet would misframe it at every peer.
  EXPECT_EQ(body("1\x01" "2", "a\x00" "b\x02" "c\x03" "d\x04" "e\x05" "f\x1B" "g"s), "1 2       a b c d e f\x1Bg");
  EXPECT_EQ(CleanTnppField("\x80 x \x7F"), "\x80 x \x7F");
}

TEST(TnppPacket, MessageCutSoTheWholePacketFits) {
  const TnppHeaderFields fields{1, 3, 0, 1};
  for (auto size : {ps1024, ps4096}) {
    for (bool transparent : {false, true}) {
      const size_t limit = PacketSizeLimit(size);
      const size_t room = limit - 27 - (transparent ? 4 : 2);
      const auto exact = BuildTnppPagePacket(fields, "1", std::string(room, 'm'), size, transparent);
      EXPECT_EQ(exact->size(), limit);
      const auto longer = BuildTnppPagePacket(fields, "1", std::string(room + 500, 'm'), size, transparent);
      EXPECT_EQ(longer->size(), limit);
      EXPECT_EQ(ParseTnppPacket(*longer, size, transparent).Verdict, TnppRxVerdict::kValid);
    }
  }
}

TEST(TnppPacket, FieldsThatDoNotFitAreRefused) {
  EXPECT_EQ(BuildTnppHeader({0xFFFF, 0xFF, 0xFFFF, 0xFF}), "\x01" "FFFFFFFFFFFF"s);
  for (const TnppHeaderFields bad : {TnppHeaderFields{0x10000, 3, 0, 1}, TnppHeaderFields{1, 0x100, 0, 1},
                                     TnppHeaderFields{1, 3, 0x10000, 1}, TnppHeaderFields{1, 3, 0, 0x100}}) {
    EXPECT_FALSE(BuildTnppHeader(bad));
    EXPECT_FALSE(BuildTnppPagePacket(bad, "1", "m", ps4096, false));
  }
  EXPECT_FALSE(BuildTnppLinkTestPacket(0x100, 0, true, false));
  EXPECT_FALSE(BuildTnppLinkTestPacket(3, 0x10000, true, false));
}

TEST(TnppPacket, SerialNumbersWrapToOne) {
  EXPECT_EQ(NextTnppSerial(0), 1);
  EXPECT_EQ(NextTnppSerial(254), 255);
  EXPECT_EQ(NextTnppSerial(255), 1);
}

TEST(TnppReceive, ValidPacketsAreTakenApart) {
  for (bool transparent : {false, true}) {
    std::string text = WithCRC(kPageCovered, transparent);
    const TnppRxPacket rx = ParseTnppPacket(text, ps1024, transparent);
    ASSERT_EQ(rx.Verdict, TnppRxVerdict::kValid);
    EXPECT_EQ(rx.Header, "000103000001");
    EXPECT_FALSE(rx.LinkTest);
    EXPECT_EQ(rx.Inertia, 3);
    EXPECT_TRUE(rx.Forward);
    EXPECT_EQ(rx.Block, TnppBlock::kIdPage);
    LowerTnppInertia(text, rx.Inertia);
    EXPECT_EQ(text.substr(0, 13), "\x01" "000102000001"s);
    EXPECT_EQ(text.substr(13), WithCRC(kPageCovered, transparent).substr(13));
  }

  for (bool stx : {true, false}) {
    const TnppRxPacket rx = ParseTnppPacket(*BuildTnppLinkTestPacket(0x1F, 7, stx, false), ps1024, false);
    ASSERT_EQ(rx.Verdict, TnppRxVerdict::kValid);
    EXPECT_TRUE(rx.LinkTest);
    EXPECT_EQ(rx.Inertia, 0x1F);
    EXPECT_EQ(rx.Block, TnppBlock::kNone);
  }

  // Inertia 1 or 0 ends the packet's travel; lower-case hex is read too.
  for (const char* inertia : {"01", "00", "1a"}) {
    const auto rx = ParseTnppPacket(WithCRC("\x01" "0001"s + inertia + "000001\x02" "B@1\x03", false), ps1024, false);
    ASSERT_EQ(rx.Verdict, TnppRxVerdict::kValid) << inertia;
    EXPECT_EQ(rx.Forward, rx.Inertia == 0x1A) << inertia;
  }
}

TEST(TnppReceive, BlockTypes) {
  const std::string types = "><ABCDEFGHI";
  for (size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(static_cast<int>(TnppBlockOf(types[i])), static_cast<int>(i) + 1) << types[i];
  }
  for (char other : {'J', 'b', '@', '\x03', '\0'}) EXPECT_EQ(TnppBlockOf(other), TnppBlock::kNone);
}

TEST(TnppReceive, RefusalsInTheLinksOrder) {
  // Too long beats everything, even a right CRC.
  const auto big = *BuildTnppPagePacket({1, 3, 0, 1}, "1", std::string(2000, 'x'), ps4096, false);
  EXPECT_EQ(ParseTnppPacket(big, ps1024, false).Verdict, TnppRxVerdict::kTooLong);
  EXPECT_EQ(ParseTnppPacket(big, ps4096, false).Verdict, TnppRxVerdict::kValid);

  std::string flipped = WithCRC(kPageCovered, false);
  flipped[20] ^= 0x01;
  EXPECT_EQ(ParseTnppPacket(flipped, ps1024, false).Verdict, TnppRxVerdict::kBadCRC);
  const std::string cut = WithCRC(kPageCovered, false).substr(0, kPageCovered.size() + 1);
  EXPECT_EQ(ParseTnppPacket(cut, ps1024, false).Verdict, TnppRxVerdict::kBadCRC);
  std::string lower = WithCRC(kPageCovered, true);
  lower.back() = 'c';  // "BAAc": compared character for character
  EXPECT_EQ(ParseTnppPacket(lower, ps1024, true).Verdict, TnppRxVerdict::kBadCRC);
  EXPECT_EQ(ParseTnppPacket("\x01", ps1024, false).Verdict, TnppRxVerdict::kBadCRC);
  EXPECT_EQ(ParseTnppPacket("", ps1024, true).Verdict, TnppRxVerdict::kBadCRC);

  // A right CRC over too little, or over a non-hex inertia: refused, not read.
  for (const std::string& covered : {"\x01\x03"s, "\x01" "0001\x03"s, "\x01" "000103000001"s,
                                    "\x01" "0001ZZ000001\x02" "B\x03"s, "X000103000001\x02" "B\x03"s}) {
    EXPECT_EQ(ParseTnppPacket(WithCRC(covered, false), ps1024, false).Verdict, TnppRxVerdict::kMalformed)
        << covered;
  }
  // With no block type before ETX there is no event to raise.
  const auto bare = ParseTnppPacket(WithCRC("\x01" "000103000001\x02\x03"s, false), ps1024, false);
  ASSERT_EQ(bare.Verdict, TnppRxVerdict::kValid);
  EXPECT_EQ(bare.Block, TnppBlock::kNone);
}

TEST(TnppReceive, RawCrcWithAZeroByteStaysTwoBytes) {
  for (int n = 0; n < 5000; ++n) {
    const std::string covered = "\x01" "000103000001\x02" "B@" + std::to_string(n) + "\x03";
    const std::string crc = TnppCRCText(covered, false);
    if (crc.find('\0') == std::string::npos) continue;
    EXPECT_EQ(crc.size(), 2u);
    EXPECT_EQ(ParseTnppPacket(covered + crc, ps1024, false).Verdict, TnppRxVerdict::kValid);
    return;
  }
  FAIL() << "no CRC with a zero byte found";
}

}  // namespace
}  // namespace vltg
