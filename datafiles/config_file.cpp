#include "datafiles/config_file.h"

namespace vltg {

namespace {

constexpr ConfigReader kGateway = ConfigReader::kGateway;

template <typename Key>
auto DefaultOf(const Key& key, ConfigReader reader) {
  return reader == ConfigReader::kGateway ? key.gateway_default : key.manager_default;
}

}  // namespace

std::string ReadConfig(const platform::ProfileFile& file, std::string_view section, const TextKey& key,
                       ConfigReader reader) {
  return file.ReadString(section, key.name, DefaultOf(key, reader));
}

std::int32_t ReadConfig(const platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                        ConfigReader reader) {
  return file.ReadInteger(section, key.name, DefaultOf(key, reader));
}

bool ReadConfig(const platform::ProfileFile& file, std::string_view section, const BoolKey& key,
                ConfigReader reader) {
  return file.ReadBool(section, key.name, DefaultOf(key, reader));
}

std::string ReadConfigText(const platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                           ConfigReader reader) {
  return file.ReadString(section, key.name, std::to_string(DefaultOf(key, reader)));
}

void WriteConfig(platform::ProfileFile& file, std::string_view section, const TextKey& key, std::string_view value) {
  file.WriteString(section, key.name, value);
}

void WriteConfig(platform::ProfileFile& file, std::string_view section, const IntegerKey& key, std::int32_t value) {
  file.WriteInteger(section, key.name, value);
}

void WriteConfig(platform::ProfileFile& file, std::string_view section, const BoolKey& key, bool value) {
  file.WriteBool(section, key.name, value);
}

void WriteConfigText(platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                     std::string_view text) {
  file.WriteString(section, key.name, text);
}

TnppConfig ReadTnppConfig(const platform::ProfileFile& file) {
  const auto integer = [&](const IntegerKey& key) { return ReadConfig(file, kTnppSection, key, kGateway); };
  const auto boolean = [&](const BoolKey& key) { return ReadConfig(file, kTnppSection, key, kGateway); };
  return TnppConfig{
      .enable_tnpp = boolean(kTnppEnableTNPP),
      .source_addr = integer(kTnppSourceAddr),
      .busy_rty_to = integer(kTnppBusyRtyTO),
      .idel_to = integer(kTnppIdelTO),
      .retry_count = integer(kTnppRetryCount),
      .keep_alive_to = integer(kTnppKeepAliveTO),
      .int_char_time = integer(kTnppIntCharTime),
      .rs_hold_retry = integer(kTnppRSHoldRetry),
      .rs_hold_time = integer(kTnppRSHoldTime),
      .enq_retries = integer(kTnppENQRetries),
      .enq_to = integer(kTnppENQTO),
      .use_com = integer(kTnppUseCom),
      .com_settings = integer(kTnppComSettings),
      .hand_shake = integer(kTnppHandShake),
      .com_speed = integer(kTnppComSpeed),
      .stx_init = boolean(kTnppSTXInit),
      .transparent_crc = boolean(kTnppTransparentCRC),
  };
}

WctpConfig ReadWctpConfig(const platform::ProfileFile& file) {
  WctpConfig config{
      .sender_id = ReadConfig(file, kWctpSection, kWctpSenderID, kGateway).substr(0, kWctpSenderIdMaxLength),
      .misc_sender_info =
          ReadConfig(file, kWctpSection, kWctpMiscSenderInfo, kGateway).substr(0, kWctpMiscSenderInfoMaxLength),
      .doc_type = ReadConfig(file, kWctpSection, kWctpDocType, kGateway).substr(0, kWctpDocTypeMaxLength),
  };
  if (config.sender_id.empty()) config.sender_id = kDefaultWctpSenderId;
  return config;
}

MiscConfig ReadMiscConfig(const platform::ProfileFile& file) {
  return MiscConfig{
      .header = ReadConfig(file, kMiscSection, kMiscHeader, kGateway),
      .emulation = ReadConfig(file, kMiscSection, kMiscEmulation, kGateway),
  };
}

TapPortConfig ReadTapPortConfig(const platform::ProfileFile& file, std::string_view port_name) {
  const auto integer = [&](const IntegerKey& key) { return ReadConfig(file, port_name, key, kGateway); };
  const auto boolean = [&](const BoolKey& key) { return ReadConfig(file, port_name, key, kGateway); };
  return TapPortConfig{
      .enabled = boolean(kPortEnabled),
      .device_id = integer(kPortDeviceID),
      .direct_access = boolean(kPortDirectAccess),
      .com_port = integer(kPortComPort),
      .com_speed = integer(kPortComSpeed),
      .data_settings = integer(kPortDataSettings),
      .flow_ctrl = integer(kPortFlowCtrl),
      .rings = integer(kPortRings),
      .password = ReadConfig(file, port_name, kPortPassword, kGateway),
      .length = integer(kPortLength),
      .truncate_msgs = boolean(kPortTruncateMsgs),
  };
}

}  // namespace vltg
