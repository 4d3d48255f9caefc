#include "platform/telephony/device_config.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/telephony/telephony_ini.h"

namespace vltg::platform {
namespace {

DeviceConfig Sample() {
  DeviceConfig config;
  config.speed = 14400;
  config.data_bits = 7;
  config.parity = SerialParity::kEven;
  config.stop_bits = SerialStopBits::kTwo;
  config.rts_cts = false;
  config.xon_xoff = true;
  config.init_command = "AT&K4";
  config.watch_carrier = false;
  return config;
}

TEST(DeviceConfigBlock, RoundTripsWithItsLayout) {
  const std::string block = EncodeDeviceConfig(Sample());
  ASSERT_EQ(block.size(), kDeviceConfigSize);
  EXPECT_EQ(block.substr(0, 8), std::string("VLMC\x01\x00\x50\x00", 8));
  EXPECT_EQ(block.substr(8, 10), std::string("\x40\x38\x00\x00\x07\x02\x02\x02\x00\x05", 10));
  EXPECT_EQ(block.substr(18, 5), "AT&K4");
  EXPECT_EQ(block.substr(23), std::string(kDeviceConfigSize - 23, '\0'));
  EXPECT_EQ(DecodeDeviceConfig(block), Sample());
  EXPECT_EQ(DecodeDeviceConfig(EncodeDeviceConfig(DeviceConfig{})), DeviceConfig{});

  DeviceConfig longest;
  longest.init_command = std::string(kMaxInitCommand, 'S');
  EXPECT_EQ(DecodeDeviceConfig(EncodeDeviceConfig(longest)), longest);
}

TEST(DeviceConfigBlock, RefusesEveryBlockThatIsNotOurs) {
  const std::string good = EncodeDeviceConfig(Sample());
  auto with = [&](size_t at, char byte) {
    std::string block = good;
    block[at] = byte;
    return block;
  };
  EXPECT_FALSE(DecodeDeviceConfig(""));
  EXPECT_FALSE(DecodeDeviceConfig(good.substr(0, 79)));
  EXPECT_FALSE(DecodeDeviceConfig(good + '\0'));
  EXPECT_FALSE(DecodeDeviceConfig(with(0, 'X')));         // magic
  EXPECT_FALSE(DecodeDeviceConfig(with(4, 2)));           // a later version
  EXPECT_FALSE(DecodeDeviceConfig(with(6, 81)));          // stated length
  EXPECT_FALSE(DecodeDeviceConfig(with(8, 0x41)));        // 14401 bps
  EXPECT_FALSE(DecodeDeviceConfig(with(12, 9)));          // data bits
  EXPECT_FALSE(DecodeDeviceConfig(with(13, 5)));          // parity
  EXPECT_FALSE(DecodeDeviceConfig(with(14, 3)));          // stop bits
  EXPECT_FALSE(DecodeDeviceConfig(with(15, 4)));          // flow bits
  EXPECT_FALSE(DecodeDeviceConfig(with(16, 2)));          // option bits
  EXPECT_FALSE(DecodeDeviceConfig(with(17, 61)));         // command length
  EXPECT_FALSE(DecodeDeviceConfig(with(17, 4)));          // a byte after the command
  EXPECT_FALSE(DecodeDeviceConfig(with(19, '\r')));       // a control character in it
  EXPECT_FALSE(DecodeDeviceConfig(with(79, 1)));          // reserved
  EXPECT_TRUE(DecodeDeviceConfig(with(17, 5)));

  DeviceConfig bad = Sample();
  bad.init_command = "AT\rATH1";
  EXPECT_EQ(CheckDeviceConfig(bad), "initialisation command with control characters");
  bad = Sample();
  bad.speed = 0;
  EXPECT_EQ(CheckDeviceConfig(bad), "unsupported speed 0");
}

TEST(TelephonyLines, ListsSectionsInOrderWithTheirSettings) {
  const auto lines = ParseTelephonyLines(
      "; lines of this machine\r\n"
      "[Modem on COM1]\r\n"
      "Device=COM1\r\n"
      "[Second]\n"
      "device = /dev/ttyUSB0\n"
      "Speed=56000\nDataBits=7\nParity=even\nStopBits=1.5\nFlowControl=Both\n"
      "InitCommand=\"AT&K3 \"\nWatchCarrier=0\n"
      "[modem on com1]\nDevice=COM9\n"
      "[No Device]\nSpeed=9600\n"
      "[Bad Speed]\nDevice=COM2\nSpeed=12345\n"
      "[Bad Parity]\nDevice=COM2\nParity=Sometimes\nSpeed=fast\n");
  ASSERT_EQ(lines.size(), 5u);  // the repeated name is the first line's
  EXPECT_EQ(lines[0].name, "Modem on COM1");
  EXPECT_EQ(lines[0].device, "COM1");
  EXPECT_EQ(lines[0].config, DeviceConfig{});
  EXPECT_EQ(lines[0].error, "");

  const DeviceConfig& second = lines[1].config;
  EXPECT_EQ(lines[1].device, "/dev/ttyUSB0");
  EXPECT_EQ(second.speed, 56000u);
  EXPECT_EQ(second.data_bits, 7);
  EXPECT_EQ(second.parity, SerialParity::kEven);
  EXPECT_EQ(second.stop_bits, SerialStopBits::kOneAndHalf);
  EXPECT_TRUE(second.rts_cts);
  EXPECT_TRUE(second.xon_xoff);
  EXPECT_EQ(second.init_command, "AT&K3 ");
  EXPECT_FALSE(second.watch_carrier);
  EXPECT_EQ(lines[1].error, "");

  EXPECT_EQ(lines[2].error, "Device: missing");
  EXPECT_EQ(lines[3].error, "unsupported speed 12345");
  EXPECT_EQ(lines[4].error, "Speed: \"fast\" cannot be used");
  EXPECT_TRUE(ParseTelephonyLines("").empty());
  EXPECT_TRUE(ParseTelephonyLines("Device=COM1\n").empty());  // keys outside a section
}

}  // namespace
}  // namespace vltg::platform
