#include "manager/model/port_data.h"

#include "datafiles/config_file.h"
#include "datafiles/config_keys.h"
#include "datafiles/config_lists.h"

namespace vltg::manager {
namespace {

constexpr ConfigReader kManager = ConfigReader::kManager;
constexpr int kComPorts = 4;

}  // namespace

TPortData ReadPortData(const platform::ProfileFile& config, std::string_view name) {
  TPortData data;
  data.DeviceID = ReadConfig(config, name, kPortDeviceID, kManager);
  data.Password = ReadConfig(config, name, kPortPassword, kManager);
  data.TimeOut = ReadConfigText(config, name, kPortTimeOut, kManager);
  data.RingsToAnswer = ReadConfigText(config, name, kPortRings, kManager);
  data.MaxMsgLength = ReadConfigText(config, name, kPortLength, kManager);
  data.Turncate = ReadConfig(config, name, kPortTruncateMsgs, kManager);
  data.Enabled = ReadConfig(config, name, kPortEnabled, kManager);
  data.ComPort = ReadConfig(config, name, kPortComPort, kManager);
  data.DataSettings = ReadConfig(config, name, kPortDataSettings, kManager);
  data.FlowCtrl = ReadConfig(config, name, kPortFlowCtrl, kManager);
  data.COMSpeed = ReadConfig(config, name, kPortComSpeed, kManager);
  data.DirectAccess = ReadConfig(config, name, kPortDirectAccess, kManager);
  return data;
}

void WritePortData(platform::ProfileFile& config, std::string_view name, const TPortData& data) {
  WriteConfig(config, name, kPortDeviceID, data.DeviceID);
  WriteConfig(config, name, kPortPassword, data.Password);
  WriteConfigText(config, name, kPortTimeOut, data.TimeOut);
  WriteConfigText(config, name, kPortRings, data.RingsToAnswer);
  WriteConfigText(config, name, kPortLength, data.MaxMsgLength);
  WriteConfig(config, name, kPortTruncateMsgs, data.Turncate);
  WriteConfig(config, name, kPortEnabled, data.Enabled);
  WriteConfig(config, name, kPortComPort, data.ComPort);
  WriteConfig(config, name, kPortDataSettings, data.DataSettings);
  WriteConfig(config, name, kPortFlowCtrl, data.FlowCtrl);
  WriteConfig(config, name, kPortComSpeed, data.COMSpeed);
  WriteConfig(config, name, kPortDirectAccess, data.DirectAccess);
}

std::string DeviceIdText(const TPortData& data) { return data.DirectAccess ? "Direct" : std::to_string(data.DeviceID); }

std::vector<std::string> ComPortItems() {
  std::vector<std::string> items;
  for (int port = 1; port <= kComPorts; ++port) items.push_back("COM" + std::to_string(port));
  return items;
}

// Texts made from what the gateway makes of each position, so the two
// cannot drift apart.
std::vector<std::string> DataSettingsItems() {
  std::vector<std::string> items;
  for (int32_t i = 0; const auto format = PortCharFormat(i); ++i) {
    items.push_back(std::to_string(format->data_bits) + "," + format->parity + "," + std::to_string(format->stop_bits));
  }
  return items;
}

std::vector<std::string> FlowCtrlItems() {
  std::vector<std::string> items;
  for (int32_t i = 0; const auto flow = PortFlowControl(i); ++i) {
    items.push_back(flow->hardware ? (flow->software ? "Both" : "Hardware") : (flow->software ? "Software" : "None"));
  }
  return items;
}

std::vector<std::string> ComSpeedItems() {
  std::vector<std::string> items;
  for (const int32_t rate : kComSpeedRates) items.push_back(std::to_string(rate));
  return items;
}

}  // namespace vltg::manager
