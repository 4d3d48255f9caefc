// The service group and the start-up: the logon loaded from and saved to
// [Server], the service installed and reconfigured as the service database
// then reads it, the refusals that write nothing, and the start-up's boxes.
#include <gtest/gtest.h>

#include <filesystem>

#include "gateway/vltap_gateway_service.h"
#include "manager/model/service_manager.h"
#include "tests/support/recording_sink.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::manager {
namespace {
namespace fs = std::filesystem;

class ServiceInstallationTest : public ::testing::Test {
 protected:
  // The service as the database reads it; an empty name when not installed.
  platform::ServiceConfig Installed() const {
    platform::ServiceConfig config;
    config.service_name.clear();
    platform::QueryServiceConfig(platform::OpenService(scm_, kGatewayServiceName), config);
    return config;
  }

  void Type(const std::string& name, const std::string& password, bool default_logon) {
    manager_.Logon() = LogonEdits{name, password, default_logon};
  }

  testing::TempDir dir_;
  testing::ScopedEnv root_{"VLTG_ROOT", (dir_ / "root").string()};
  platform::ScManagerHandle scm_ = platform::OpenSCManager();
  testing::RecordingSink sink_;
  TVLSGSrvcMngr manager_{sink_, scm_, dir_.Path().string()};
};

TEST_F(ServiceInstallationTest, InstallWithTheDefaultLogonKeepsTheTypedOne) {
  Type("gwuser", "secret", true);
  manager_.Install1Click();
  EXPECT_EQ(sink_.events, std::vector<std::string>{"box:DI DIZ Evevevu Service Installed!"});
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kInformation);
  const platform::ServiceConfig config = Installed();
  EXPECT_EQ(config.service_name, "VLTAPGateway");
  EXPECT_EQ(config.display_name, "DI DIZ Evevevu");
  EXPECT_EQ(config.service_type, 0x110u);
  EXPECT_EQ(config.start_type, 2u);
  EXPECT_EQ(config.error_control, 1u);
  EXPECT_EQ(config.binary_path, (dir_ / "vltg").string());
  EXPECT_EQ(config.account, "LocalSystem");
  EXPECT_EQ(config.password, "");
  EXPECT_EQ(dir_.Read("Config.Dat"), "[Server]\r\nLogonName=gwuser\r\nPassword=secret\r\nDefaultLogon=1\r\n");
  EXPECT_TRUE(manager_.Look().start);
  EXPECT_FALSE(manager_.Look().install);

  // Installing again: the system error, after [Server] was saved.
  manager_.Install1Click();
  EXPECT_EQ(sink_.events.back(), "box:System Error.  Code: 1073.\nThe specified service already exists.");
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);
}

TEST_F(ServiceInstallationTest, InstallUnderANamedAccount) {
  Type("gwuser", "secret", false);
  manager_.Install1Click();
  EXPECT_EQ(Installed().account, "gwuser");
  EXPECT_EQ(Installed().password, "secret");
  EXPECT_NE(dir_.Read("Config.Dat").find("DefaultLogon=0"), std::string::npos);
}

TEST_F(ServiceInstallationTest, AMissingLogonFieldRefusesAndWritesNothing) {
  struct Case {
    LogonEdits edits;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {{"", "secret", false}, {"beep", "box:Must Enter Logon Name!", "focus:LogonName"}},
      {{"gwuser", "", false}, {"beep", "box:Must Enter Logon Password!", "focus:LogonPassword"}},
  };
  for (const Case& c : cases) {
    sink_.events.clear();
    manager_.Logon() = c.edits;
    manager_.Install1Click();
    EXPECT_EQ(sink_.events, c.events);
    EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kError);
    sink_.events.clear();
    manager_.ApplySvcChgClick();
    EXPECT_EQ(sink_.events, c.events);
  }
  EXPECT_FALSE(fs::exists(dir_ / "Config.Dat"));
  EXPECT_EQ(Installed().service_name, "");
}

TEST_F(ServiceInstallationTest, ApplyWithTheDefaultLogonReturnsToLocalSystem) {
  manager_.ApplySvcChgClick();  // not installed
  EXPECT_EQ(sink_.events, (std::vector<std::string>{"beep", "box:Service Update Failed!"}));

  Type("gwuser", "secret", false);
  manager_.Install1Click();
  ASSERT_EQ(Installed().account, "gwuser");
  sink_.events.clear();
  Type("gwuser", "secret", true);
  manager_.ApplySvcChgClick();
  EXPECT_EQ(sink_.events, std::vector<std::string>{"box:Service Updated!"});
  EXPECT_EQ(sink_.boxes.back().kind, BoxKind::kWarning);
  EXPECT_EQ(Installed().account, "LocalSystem");
  EXPECT_EQ(Installed().password, "");
  EXPECT_NE(dir_.Read("Config.Dat").find("DefaultLogon=1"), std::string::npos);
}

TEST_F(ServiceInstallationTest, AFailedSettingsWriteInstallsNothing) {
  fs::create_directory(dir_ / "Config.Dat");
  manager_.Install1Click();
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kError);
  EXPECT_EQ(Installed().service_name, "");
}

TEST_F(ServiceInstallationTest, StartUp) {
  // No Config.Dat: the question (the answer is not used), the defaults.
  manager_.CheckSettingsExist();
  manager_.FormCreate();
  ASSERT_EQ(sink_.boxes.size(), 1u);
  EXPECT_EQ(sink_.boxes[0].text, "Settings Not Found! Please Configure Application?");
  EXPECT_EQ(sink_.boxes[0].kind, BoxKind::kConfirmation);
  EXPECT_EQ(sink_.boxes[0].buttons, BoxButtons::kOkHelp);
  EXPECT_EQ(sink_.boxes[0].help_context, 2);
  EXPECT_TRUE(manager_.Logon().default_logon);
  EXPECT_FALSE(manager_.LogonEditsEnabled());
  EXPECT_EQ(manager_.Look().status, "Gateway Off-Line");

  dir_.Write("Config.Dat", "[Server]\r\nLogonName=gwuser\r\nPassword=secret\r\nDefaultLogon=0\r\n");
  testing::RecordingSink sink;
  TVLSGSrvcMngr manager(sink, scm_, dir_.Path().string());
  manager.CheckSettingsExist();
  manager.FormCreate();
  EXPECT_TRUE(sink.events.empty());
  EXPECT_EQ(manager.Logon().logon_name, "gwuser");
  EXPECT_EQ(manager.Logon().logon_password, "secret");
  EXPECT_TRUE(manager.LogonEditsEnabled());

  // A service database that cannot be used: the system error.
  dir_.Write("file", "");
  testing::ScopedEnv root("VLTG_ROOT", (dir_ / "file").string());
  EXPECT_FALSE(OpenServiceDatabase(sink));
  EXPECT_EQ(sink.events, std::vector<std::string>{"box:System Error.  Code: 5.\nAccess is denied."});
}

}  // namespace
}  // namespace vltg::manager
