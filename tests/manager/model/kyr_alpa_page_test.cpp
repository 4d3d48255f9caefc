// The manager's line component against the line layer: the lines it lists,
// and modem configuration files written from the provider's dialog that the
// gateway's engine then takes into its modem.
#include "manager/model/kyr_alpa_page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>

#include "engines/kyr_tap.h"
#include "engines/modem_config_file.h"
#include "platform/telephony/device_config.h"
#include "platform/telephony/tapi_constants.h"
#include "tests/support/modem_simulator.h"
#include "tests/support/pseudo_terminal.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {

using platform::DeviceConfig;
using ::testing::Contains;

class KYRAlpaPageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 3; ++i) {
      modems_.push_back(std::make_unique<testing::ModemSimulator>());
      testing::LinkComPort(i + 1, modems_.back()->LinePath());
    }
    root_.Write("telephony.ini",
                "[Modem A]\r\nDevice=COM1\r\n"
                "[Modem B]\r\nDevice=COM2\r\nSpeed=19200\r\nInitCommand=ATL0\r\n"
                "[Modem C]\r\nDevice=COM3\r\n");
    // The provider's dialog: records what it is shown, sets the init command.
    platform::SetDevConfigDialog([this](void* owner, const std::string& line, DeviceConfig& config) {
      shown_.push_back({owner, line, config});
      config.init_command = init_command_;
      return accept_;
    });
  }
  void TearDown() override { platform::SetDevConfigDialog(nullptr); }

  std::string Mcf() const { return dir_.Read("Demo.mcf"); }
  std::optional<DeviceConfig> McfConfig() const {
    const auto block = ModemConfigBlock(Mcf());
    return block ? platform::DecodeDeviceConfig(*block) : std::nullopt;
  }

  struct Shown {
    void* owner;
    std::string line;
    DeviceConfig config;
  };

  testing::TempDir root_;
  testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  testing::TempDir dir_;
  std::vector<std::unique_ptr<testing::ModemSimulator>> modems_;
  std::vector<Shown> shown_;
  std::string init_command_ = "ATS7=45";
  bool accept_ = true;
};

TEST_F(KYRAlpaPageTest, ListsTheLinesWithTheirDeviceIdsOnceItsLineApplicationRuns) {
  {
    TKYRAlpaPage page;
    std::vector<TAlpaLine> lines{{"untouched", 9}};
    EXPECT_FALSE(page.GetLineNames(lines));
    EXPECT_EQ(lines, (std::vector<TAlpaLine>{{"untouched", 9}}));

    ASSERT_TRUE(page.InitializeLine());
    ASSERT_TRUE(page.GetLineNames(lines));
    EXPECT_EQ(lines, (std::vector<TAlpaLine>{{"Modem A", 0}, {"Modem B", 1}, {"Modem C", 2}}));

    // Entry 0 is held: another component cannot have it; a restart keeps it.
    TKYRAlpaPage other;
    EXPECT_FALSE(other.InitializeLine());
    EXPECT_TRUE(page.InitializeLine());
    EXPECT_EQ(TAlpaLineTable::Entry(0), &page);
    other.SetLineInstance(16);
    other.SetDeviceDirectAccess(true);
    EXPECT_FALSE(other.InitializeLine());
    other.SetDeviceDirectAccess(false);
    EXPECT_TRUE(other.InitializeLine());
    other.SetLineInstance(17);
    EXPECT_FALSE(other.InitializeLine());
  }
  EXPECT_EQ(TAlpaLineTable::Entry(0), nullptr);
  EXPECT_EQ(TAlpaLineTable::Entry(16), nullptr);

  root_.Write("telephony.ini", "");
  TKYRAlpaPage page;
  std::vector<TAlpaLine> lines{{"old", 0}};
  ASSERT_TRUE(page.InitializeLine());
  EXPECT_TRUE(page.GetLineNames(lines));
  EXPECT_TRUE(lines.empty());
}

TEST_F(KYRAlpaPageTest, LineNamesFromTheCapabilities) {
  struct Case {
    std::string field;
    uint32_t format;
    uint32_t media;
    std::string listed;
  };
  const Case cases[] = {
      {std::string("Modem A\0", 8), platform::STRINGFORMAT_ASCII, platform::LINEMEDIAMODE_DATAMODEM, "Modem A"},
      {std::string("\0junk\0", 6), platform::STRINGFORMAT_ASCII, platform::LINEMEDIAMODE_DATAMODEM,
       "Line Name is Empty"},
      {"", platform::STRINGFORMAT_ASCII, platform::LINEMEDIAMODE_DATAMODEM, "Line Unnamed"},
      {std::string("Modem A\0", 8), platform::STRINGFORMAT_BINARY, platform::LINEMEDIAMODE_DATAMODEM, "Line Unnamed"},
      {"No NUL", platform::STRINGFORMAT_ASCII, platform::LINEMEDIAMODE_DATAMODEM, "No NUL"},
      {std::string("Voice\0", 6), platform::STRINGFORMAT_ASCII, platform::LINEMEDIAMODE_INTERACTIVEVOICE, ""},
  };
  for (const Case& c : cases) {
    platform::LINEDEVCAPS caps;
    caps.LineName = c.field;
    caps.dwStringFormat = c.format;
    caps.dwMediaModes = c.media;
    EXPECT_EQ(TKYRAlpaPage::DataModemLineName(caps), c.listed) << c.field;
  }
}

TEST_F(KYRAlpaPageTest, TheFileWrittenFromTheDialogIsWhatTheGatewaysModemIsSetUpWith) {
  const std::string path = (dir_ / "Demo.mcf").string();
  int owner = 0;
  TKYRAlpaPage page;
  page.SetParentForm(&owner);
  ASSERT_TRUE(page.EditModemConfig(path, 1));
  ASSERT_EQ(shown_.size(), 1u);
  EXPECT_EQ(shown_[0].owner, &owner);
  EXPECT_EQ(shown_[0].line, "Modem B");
  EXPECT_EQ(shown_[0].config.speed, 19200u);  // no file yet: the line's own settings
  EXPECT_EQ(shown_[0].config.init_command, "ATL0");
  ASSERT_TRUE(McfConfig());
  EXPECT_EQ(McfConfig()->init_command, "ATS7=45");

  TKYRTap tap;
  tap.SetShowErrorDialog(false);
  tap.InitializeLine();
  tap.SetDevIdToInitialize(1);
  tap.SetModemSysConfig((dir_ / "system.mcf").string());
  tap.SetModemAltConfig(path);
  tap.SetWaitForCall(true);
  ASSERT_TRUE(tap.LineOpen());
  EXPECT_THAT(modems_[1]->Commands(), Contains("ATS7=45"));
  tap.SetWaitForCall(false);

  // The next edit starts from the file.
  init_command_ = "ATM0";
  ASSERT_TRUE(page.EditModemConfig(path, 1));
  EXPECT_EQ(shown_.back().config.init_command, "ATS7=45");
  EXPECT_EQ(McfConfig()->init_command, "ATM0");
}

TEST_F(KYRAlpaPageTest, AnUnusableFileStartsFromTheLineAndCancelWritesNothing) {
  const std::string path = (dir_ / "Demo.mcf").string();
  TKYRAlpaPage page;
  ASSERT_TRUE(page.EditModemConfig(path, 1));
  const std::string good = Mcf();

  std::string foreign = good;
  foreign.replace(24, 4, "XXXX");
  std::string oversized = good;
  oversized[16] = static_cast<char>(0xF0);  // string size runs past the end
  for (const std::string& bad : {good.substr(0, 20), foreign, oversized}) {
    dir_.Write("Demo.mcf", bad);
    ASSERT_TRUE(page.EditModemConfig(path, 1));
    EXPECT_EQ(shown_.back().config.init_command, "ATL0");
    EXPECT_EQ(Mcf(), good);
  }

  accept_ = false;
  dir_.Write("Demo.mcf", "kept");
  bool cancelled = false;
  EXPECT_FALSE(page.EditModemConfig(path, 1, &cancelled));
  EXPECT_TRUE(cancelled);
  EXPECT_EQ(Mcf(), "kept");

  platform::SetDevConfigDialog(nullptr);
  EXPECT_FALSE(page.EditModemConfig(path, 1, &cancelled));
  EXPECT_FALSE(cancelled);
  EXPECT_FALSE(page.EditModemConfig(path, 7, &cancelled));  // no such line
  EXPECT_EQ(Mcf(), "kept");
}

}  // namespace
}  // namespace vltg::manager
