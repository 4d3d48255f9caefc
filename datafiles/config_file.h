#pragma once
// Reading and writing Config.Dat key by key, with the defaults of the program
// that reads (config_keys.h), and the gateway's readings of whole sections.
// Each read reads the file anew; keep one ProfileFile per thread or read under
// a lock, as the callers prefer.
#include <cstdint>
#include <string>
#include <string_view>

#include "datafiles/config_keys.h"
#include "platform/profile/profile_file.h"

namespace vltg {

enum class ConfigReader { kGateway, kManager };

std::string ReadConfig(const platform::ProfileFile& file, std::string_view section, const TextKey& key,
                       ConfigReader reader);
std::int32_t ReadConfig(const platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                        ConfigReader reader);
bool ReadConfig(const platform::ProfileFile& file, std::string_view section, const BoolKey& key,
                ConfigReader reader);
// An integer key as its text, for the manager's edits: the stored text, or the
// reader's default in decimal when the key is missing.
std::string ReadConfigText(const platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                           ConfigReader reader);

void WriteConfig(platform::ProfileFile& file, std::string_view section, const TextKey& key, std::string_view value);
void WriteConfig(platform::ProfileFile& file, std::string_view section, const IntegerKey& key, std::int32_t value);
void WriteConfig(platform::ProfileFile& file, std::string_view section, const BoolKey& key, bool value);
// An integer key written as typed (the manager's edits are not checked for numbers).
void WriteConfigText(platform::ProfileFile& file, std::string_view section, const IntegerKey& key,
                     std::string_view text);

// [TNPP] as the gateway reads it at start. List positions are kept as stored
// (config_lists.h says what they mean).
struct TnppConfig {
  bool enable_tnpp;
  std::int32_t source_addr;
  std::int32_t busy_rty_to;
  std::int32_t idel_to;
  std::int32_t retry_count;
  std::int32_t keep_alive_to;
  std::int32_t int_char_time;
  std::int32_t rs_hold_retry;
  std::int32_t rs_hold_time;
  std::int32_t enq_retries;
  std::int32_t enq_to;
  std::int32_t use_com;
  std::int32_t com_settings;
  std::int32_t hand_shake;
  std::int32_t com_speed;
  bool stx_init;
  bool transparent_crc;
};
TnppConfig ReadTnppConfig(const platform::ProfileFile& file);

// [WCTP] as the gateway uses it at each delivery: cut to the lengths it uses,
// an empty sender identity replaced by "NOYB".
struct WctpConfig {
  std::string sender_id;
  std::string misc_sender_info;
  std::string doc_type;
};
WctpConfig ReadWctpConfig(const platform::ProfileFile& file);

// [Misc] as each TAP port thread reads it.
struct MiscConfig {
  std::string header;
  std::int32_t emulation;
};
MiscConfig ReadMiscConfig(const platform::ProfileFile& file);

// A port's own section as its TAP thread reads it.
struct TapPortConfig {
  bool enabled;
  std::int32_t device_id;
  bool direct_access;
  std::int32_t com_port;  // 0 = COM1
  std::int32_t com_speed;
  std::int32_t data_settings;
  std::int32_t flow_ctrl;
  std::int32_t rings;
  std::string password;
  std::int32_t length;
  bool truncate_msgs;
};
TapPortConfig ReadTapPortConfig(const platform::ProfileFile& file, std::string_view port_name);

}  // namespace vltg
