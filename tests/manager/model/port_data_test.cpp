// A TAP port's section through the port dialog's field table: every key read
// as the file holds it and written back the same, in the manager's order; what
// the table makes of missing and unfit values.
#include "manager/model/port_data.h"

#include <gtest/gtest.h>

#include <variant>

#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

using Expected = std::variant<const char*, int, bool>;

// Each control's value as the table holds it: a text, a position or number, a check.
void ExpectValues(const TPortData& data, std::initializer_list<std::pair<const char*, Expected>> values) {
  for (const auto& [control, expected] : values) {
    if (const auto* text = std::get_if<const char*>(&expected)) {
      EXPECT_EQ(data.Text(control), *text) << control;
    } else if (const auto* number = std::get_if<int>(&expected)) {
      EXPECT_EQ(data.Position(control), *number) << control;
    } else {
      EXPECT_EQ(data.Checked(control), std::get<bool>(expected)) << control;
    }
  }
}

TEST(PortDataTest, EveryKeyIsReadAsItStandsAndWrittenBackInTheManagersOrder) {
  testing::TempDir dir;
  const std::string section =
      "[Desk]\r\nDeviceID=7\r\nPassword=pw\r\nTimeOut=0x3C\r\nRings=3\r\nLength=80\r\nTruncateMsgs=1\r\n"
      "Enabled=1\r\nComPort=3\r\nDataSettings=1\r\nFlowCtrl=3\r\nCOMSpeed=12\r\nDirectAccess=1\r\n";
  dir.Write("in.ini", section);
  const TPortData data = ReadPortData(platform::ProfileFile(dir / "in.ini"), "Desk");
  ExpectValues(data, {{"Modem", 7}, {"Password", "pw"}, {"TimeOut", "0x3C"}, {"RingsToAnswer", "3"},
                      {"MaxMsgLength", "80"}, {"Turncate", true}, {"Enabled", true}, {"ComPort", 3},
                      {"DataSettings", 1}, {"FlowCtrl", 3}, {"COMSpeed", 12}, {"DirectAccess", true}});
  EXPECT_EQ(DeviceIdText(data), "Direct");
  platform::ProfileFile out(dir / "out.ini");
  WritePortData(out, "Desk", data);
  EXPECT_EQ(dir.Read("out.ini"), section);
}

TEST(PortDataTest, MissingKeysTakeTheManagersDefaultsAndAPositionOutsideItsListSelectsNothing) {
  testing::TempDir dir;
  dir.Write("in.ini", "[Desk]\r\nComPort=4\r\nCOMSpeed=-2\r\nFlowCtrl=x\r\nLength=\r\n");
  const TPortData read = ReadPortData(platform::ProfileFile(dir / "in.ini"), "Desk");
  ExpectValues(read, {{"Modem", 0}, {"Password", ""}, {"TimeOut", "60"}, {"RingsToAnswer", "1"},
                      {"MaxMsgLength", ""}, {"Turncate", false}, {"Enabled", false}, {"ComPort", -1},
                      {"DataSettings", 0}, {"FlowCtrl", 1}, {"COMSpeed", -1}, {"DirectAccess", false}});
  EXPECT_EQ(DeviceIdText(read), "0");
  // A new port's: the same defaults, but no modem chosen.
  const TPortData fresh;
  ExpectValues(fresh, {{"Modem", kNoModem}, {"TimeOut", "60"}, {"MaxMsgLength", "160"}, {"COMSpeed", 3}});
}

}  // namespace
}  // namespace vltg::manager
