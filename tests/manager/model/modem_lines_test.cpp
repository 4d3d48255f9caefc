// The manager's line component against the line layer: the lines it lists,
// and modem configuration files written from the provider's dialog.
#include "manager/model/modem_lines.h"

#include <gtest/gtest.h>

#include <memory>

#include "datafiles/modem_config_file.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

using platform::DeviceConfig;

class ModemLinesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::LinkComPort(1, modems_[0].LinePath());
    testing::LinkComPort(2, modems_[1].LinePath());
    root_.Write("telephony.ini", "[Modem A]\r\nDevice=COM1\r\n[Modem B]\r\nDevice=COM2\r\nInitCommand=ATL0\r\n");
    // The provider's dialog: records the init command it is shown, sets its own.
    platform::SetDevConfigDialog([this](void* owner, const std::string& line, DeviceConfig& config) {
      shown_.push_back(line + " " + config.init_command + (owner == &owner_ ? "" : " (no owner)"));
      config.init_command = "ATS7=45";
      return accept_;
    });
  }
  void TearDown() override {
    platform::SetDevConfigDialog(nullptr);
    platform::SetLineTestProvider(nullptr);
  }

  std::string InitCommandInFile() const {
    const auto block = ModemConfigBlock(dir_.Read("Demo.mcf"));
    const auto config = block ? platform::DecodeDeviceConfig(*block) : std::nullopt;
    return config ? config->init_command : "unreadable";
  }

  testing::ModemSimulator modems_[2];
  testing::TempDir root_;
  testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  testing::TempDir dir_;
  int owner_ = 0;
  std::vector<std::string> shown_;
  bool accept_ = true;
};

TEST_F(ModemLinesTest, ListsTheLinesWithTheirDeviceIdsOnceItsLineApplicationRuns) {
  {
    TModemLines component, other;
    std::vector<TModemLine> lines{{"untouched", 9}};
    EXPECT_FALSE(component.GetLineNames(lines));
    EXPECT_EQ(lines, (std::vector<TModemLine>{{"untouched", 9}}));
    ASSERT_TRUE(component.InitializeLine());
    ASSERT_TRUE(component.GetLineNames(lines));
    EXPECT_EQ(lines, (std::vector<TModemLine>{{"Modem A", 0}, {"Modem B", 1}}));
    // Entry 0 is held: another component cannot have it; a restart keeps it.
    EXPECT_FALSE(other.InitializeLine());
    EXPECT_TRUE(component.InitializeLine());
    EXPECT_EQ(TModemLinesTable::Entry(0), &component);
    other.SetDeviceDirectAccess(true);
    other.SetLineInstance(16);
    EXPECT_FALSE(other.InitializeLine());
  }
  EXPECT_EQ(TModemLinesTable::Entry(0), nullptr);
  root_.Write("telephony.ini", "");
  TModemLines component;
  std::vector<TModemLine> lines{{"old", 0}};
  ASSERT_TRUE(component.InitializeLine());
  EXPECT_TRUE(component.GetLineNames(lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(ModemLinesTest, LineNamesFromTheCapabilities) {
  const auto caps = [](std::string name, uint32_t format, uint32_t media) {
    platform::LINEDEVCAPS caps;
    caps.LineName = std::move(name);
    caps.dwStringFormat = format;
    caps.dwMediaModes = media;
    return caps;
  };
  const std::pair<platform::LINEDEVCAPS, std::string> cases[] = {
      {caps(std::string("Modem\0", 6), 1, 0x10), "Modem"},
      {caps(std::string("\0x\0", 3), 1, 0x10), "Line Name is Empty"},
      {caps("Modem", 4, 0x10), "Line Unnamed"},
      {caps("Voice", 1, 0x4), ""},
  };
  for (const auto& [line, listed] : cases) EXPECT_EQ(TModemLines::DataModemLineName(line), listed) << listed;
}

// Lines our modem provider never has, through a test provider: one whose
// interface version does not fit stays in the list, one without data-modem
// support is left out (and the next keeps its own device id).
TEST_F(ModemLinesTest, AnUnfitVersionIsListedAsUnavailableAndAVoiceLineNotAtAll) {
  root_.Write("telephony.ini",
              "[Modem A]\r\nDevice=COM1\r\n[Newer]\r\nDevice=COM3\r\n[Voice]\r\nDevice=COM4\r\n"
              "[Modem B]\r\nDevice=COM2\r\n");
  platform::SetLineTestProvider([](uint32_t id, platform::LineDeviceTraits& traits) {
    if (id == 1) traits.low_version = traits.high_version = 0x00030000;
    if (id == 2) traits.caps.dwMediaModes = platform::LINEMEDIAMODE_INTERACTIVEVOICE;
  });
  TModemLines component;
  ASSERT_TRUE(component.InitializeLine());
  std::vector<TModemLine> lines;
  ASSERT_TRUE(component.GetLineNames(lines));
  EXPECT_EQ(lines, (std::vector<TModemLine>{{"Modem A", 0}, {"Line Unavailable", 1}, {"Modem B", 3}}));
}

TEST_F(ModemLinesTest, EditsStartFromAUsableFileElseFromTheLineAndCancelWritesNothing) {
  const std::string path = (dir_ / "Demo.mcf").string();
  TModemLines component;
  component.SetParentForm(&owner_);
  ASSERT_TRUE(component.EditModemConfig(path, 1));
  EXPECT_EQ(InitCommandInFile(), "ATS7=45");
  ASSERT_TRUE(component.EditModemConfig(path, 1));
  EXPECT_EQ(shown_, (std::vector<std::string>{"Modem B ATL0", "Modem B ATS7=45"}));

  const std::string good = dir_.Read("Demo.mcf");
  std::string foreign = good, oversized = good;
  foreign.replace(24, 4, "XXXX");
  oversized[16] = static_cast<char>(0xF0);  // a string size past the end
  for (const std::string& bad : {good.substr(0, 20), foreign, oversized}) {
    shown_.clear();
    dir_.Write("Demo.mcf", bad);
    ASSERT_TRUE(component.EditModemConfig(path, 1));
    EXPECT_EQ(shown_, (std::vector<std::string>{"Modem B ATL0"}));
    EXPECT_EQ(dir_.Read("Demo.mcf"), good);
  }

  accept_ = false;
  dir_.Write("Demo.mcf", "kept");
  bool cancelled = false;
  EXPECT_FALSE(component.EditModemConfig(path, 1, &cancelled));
  EXPECT_TRUE(cancelled);
  platform::SetDevConfigDialog(nullptr);
  EXPECT_FALSE(component.EditModemConfig(path, 1, &cancelled));
  EXPECT_FALSE(cancelled);
  EXPECT_EQ(dir_.Read("Demo.mcf"), "kept");
}

}  // namespace
}  // namespace vltg::manager
