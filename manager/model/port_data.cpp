#include "manager/model/port_data.h"

#include <array>

#include "datafiles/config_keys.h"
#include "manager/model/serial_lists.h"

namespace vltg::manager {

std::span<const SettingsField> PortFields() {
  static const std::array<SettingsField, 12> kFields{{
      {.control = "Modem", .key = &kPortDeviceID, .label = "&Modem:", .hint = "Provider To Access", .number = true},
      {"Password", &kPortPassword, "&Password:", "Enter Users Name"},
      {"TimeOut", &kPortTimeOut, "Time Out:", ""},
      {"RingsToAnswer", &kPortRings, "Rings to Answer:", ""},
      {"MaxMsgLength", &kPortLength, "Max Msg Length:", ""},
      {"Turncate", &kPortTruncateMsgs, "Turncate Messages", ""},
      {"Enabled", &kPortEnabled, "Port &Enabled", "Select If User Has A Numeric Only Pager"},
      {"ComPort", &kPortComPort, "Com Port:", "", ComPortTexts()},
      {"DataSettings", &kPortDataSettings, "Data:", "", PortCharFormatTexts()},
      {"FlowCtrl", &kPortFlowCtrl, "Flow CTRL:", "", PortFlowControlTexts()},
      {"COMSpeed", &kPortComSpeed, "COM Speed:", "", ComSpeedTexts()},
      {"DirectAccess", &kPortDirectAccess, "Enable Direct Port Access", ""},
  }};
  return kFields;
}

TPortData::TPortData() : FieldValues(PortFields()) { SetNumber("Modem", kNoModem); }

TPortData ReadPortData(const platform::ProfileFile& config, std::string_view name) {
  TPortData data;
  data.Load(config, name);
  return data;
}

void WritePortData(platform::ProfileFile& config, std::string_view name, const TPortData& data) {
  data.Write(config, name);
}

std::string DeviceIdText(const TPortData& data) {
  return data.Checked("DirectAccess") ? "Direct" : std::to_string(data.Number("Modem"));
}

}  // namespace vltg::manager
