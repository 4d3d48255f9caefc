#include "platform/service/service_database.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/base/system_error.h"
#include "platform/service/service_control.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_dir.h"

namespace vltg::platform {
namespace {

ServiceConfig Config(std::string name, std::string display = "") {
  ServiceConfig config;
  config.service_name = std::move(name);
  config.display_name = std::move(display);
  config.binary_path = "/opt/x/prog";
  return config;
}

TEST(ServiceRecordTest, RoundTripsEveryFieldWhateverItsBytes) {
  ServiceRecord record;
  record.config = Config("Svc", "Line one\nline\ttwo \\ end\r");
  record.config.service_type = 0x110;
  record.config.start_type = SERVICE_AUTO_START;
  record.config.password = "p=w\\n";
  record.config.account = ".\\operator";
  record.delete_pending = true;
  const auto parsed = ParseServiceRecord(FormatServiceRecord(record));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(*parsed, record);
}

TEST(ServiceRecordTest, RefusesBrokenRecords) {
  const std::string good = FormatServiceRecord(ServiceRecord{Config("Svc")});
  ASSERT_TRUE(ParseServiceRecord(good));
  EXPECT_FALSE(ParseServiceRecord(""));
  EXPECT_FALSE(ParseServiceRecord("garbage"));
  EXPECT_FALSE(ParseServiceRecord(good + "Type=12x\n"));
  EXPECT_FALSE(ParseServiceRecord(good + "Start=99999999999\n"));
  EXPECT_FALSE(ParseServiceRecord(good + "Password=bad\\escape\n"));
  EXPECT_FALSE(ParseServiceRecord(good + "Name=a/b\n"));
  std::string no_path = good;
  no_path.erase(no_path.find("ImagePath"), no_path.find('\n', no_path.find("ImagePath")) - no_path.find("ImagePath"));
  EXPECT_FALSE(ParseServiceRecord(no_path));
}

TEST(ServiceRecordTest, NamesAndValuesThatCannotBeStored) {
  EXPECT_EQ(ValidateServiceName(""), ERROR_INVALID_NAME);
  EXPECT_EQ(ValidateServiceName("a/b"), ERROR_INVALID_NAME);
  EXPECT_EQ(ValidateServiceName("a\\b"), ERROR_INVALID_NAME);
  EXPECT_EQ(ValidateServiceName("a\nb"), ERROR_INVALID_NAME);
  EXPECT_EQ(ValidateServiceName(std::string(257, 'x')), ERROR_INVALID_NAME);
  EXPECT_EQ(ValidateServiceName(std::string(256, 'x')), 0u);
  ServiceConfig config = Config("Svc");
  config.service_type = 0x1;  // a driver
  EXPECT_EQ(ValidateServiceConfig(config), ERROR_INVALID_PARAMETER);
  config = Config("Svc");
  config.start_type = SERVICE_BOOT_START;
  EXPECT_EQ(ValidateServiceConfig(config), ERROR_INVALID_PARAMETER);
  config = Config("Svc");
  config.binary_path.clear();
  EXPECT_EQ(ValidateServiceConfig(config), ERROR_INVALID_PARAMETER);
}

class ServiceDatabaseTest : public ::testing::Test {
 protected:
  testing::TempDir root_;
  testing::ScopedEnv env_{"VLTG_ROOT", root_.Path().string()};
  ScManagerHandle manager_ = OpenSCManager();
};

TEST_F(ServiceDatabaseTest, CreateStoresAPrivateRecordFoundInAnyCase) {
  ServiceConfig config = Config("VLTAPGateway", "DI DIZ Evevevu");
  config.account = "";
  config.password = "secret";
  ASSERT_TRUE(CreateService(manager_, config));
  struct stat info {};
  ASSERT_EQ(::stat((root_.Path() / "services" / "vltapgateway.svc").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  const ServiceHandle service = OpenService(manager_, "vltapgateway");
  ASSERT_TRUE(service);
  EXPECT_EQ(service.Name(), "VLTAPGateway");
  ServiceConfig stored;
  ASSERT_TRUE(QueryServiceConfig(service, stored));
  EXPECT_EQ(stored.account, kLocalSystemAccount);
  EXPECT_EQ(stored.password, "secret");
  ServiceStatus status;
  ASSERT_TRUE(QueryServiceStatus(service, status));
  EXPECT_EQ(status.current_state, SERVICE_STOPPED);
}

TEST_F(ServiceDatabaseTest, CreateRefusesTakenNamesAndBadValues) {
  ASSERT_TRUE(CreateService(manager_, Config("One", "First")));
  EXPECT_FALSE(CreateService(manager_, Config("ONE")));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_EXISTS);
  EXPECT_FALSE(CreateService(manager_, Config("Two", "first")));
  EXPECT_EQ(GetLastError(), ERROR_DUPLICATE_SERVICE_NAME);
  EXPECT_FALSE(CreateService(manager_, Config("First")));
  EXPECT_EQ(GetLastError(), ERROR_DUPLICATE_SERVICE_NAME);
  EXPECT_FALSE(CreateService(manager_, Config("../x")));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  EXPECT_FALSE(OpenService(manager_, "Missing"));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
}

TEST_F(ServiceDatabaseTest, LongNamesGetShortFilesOfTheirOwn) {
  const std::string a = std::string(200, 'a') + "1";
  const std::string b = std::string(200, 'a') + "2";
  ASSERT_TRUE(CreateService(manager_, Config(a)));
  ASSERT_TRUE(CreateService(manager_, Config(b)));
  EXPECT_LE(ServiceFileStem(a).size(), 64u);
  EXPECT_NE(ServiceFileStem(a), ServiceFileStem(b));
  EXPECT_EQ(OpenService(manager_, b).Name(), b);
  EXPECT_EQ(EnumServiceNames(manager_).size(), 2u);
}

TEST_F(ServiceDatabaseTest, ChangeKeepsWhatIsNotChanged) {
  ASSERT_TRUE(CreateService(manager_, Config("Svc", "Shown")));
  const ServiceHandle service = OpenService(manager_, "Svc");
  ServiceConfigChange change;
  change.start_type = SERVICE_DISABLED;
  change.account = ".\\LOCALSYSTEM";
  ASSERT_TRUE(ChangeServiceConfig(service, change));
  ServiceConfig stored;
  ASSERT_TRUE(QueryServiceConfig(service, stored));
  EXPECT_EQ(stored.start_type, SERVICE_DISABLED);
  EXPECT_EQ(stored.account, kLocalSystemAccount);
  EXPECT_EQ(stored.display_name, "Shown");
  EXPECT_EQ(stored.binary_path, "/opt/x/prog");
  change = {};
  change.error_control = 7;
  EXPECT_FALSE(ChangeServiceConfig(service, change));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(ServiceDatabaseTest, DeleteOfAStoppedServiceRemovesItAtOnce) {
  ASSERT_TRUE(CreateService(manager_, Config("Svc")));
  const ServiceHandle service = OpenService(manager_, "Svc");
  ASSERT_TRUE(DeleteService(service));
  EXPECT_FALSE(OpenService(manager_, "Svc"));
  EXPECT_EQ(GetLastError(), ERROR_SERVICE_DOES_NOT_EXIST);
  EXPECT_TRUE(CreateService(manager_, Config("Svc")));
}

TEST_F(ServiceDatabaseTest, ACorruptRecordIsReportedNotTrusted) {
  ASSERT_TRUE(CreateService(manager_, Config("Svc")));
  root_.Write("services/svc.svc", "Name=Svc\nType=banana\n");
  ServiceConfig config;
  EXPECT_FALSE(QueryServiceConfig(OpenService(manager_, "Svc"), config));  // installed, but unreadable
  EXPECT_EQ(GetLastError(), ERROR_FILE_CORRUPT);
  EXPECT_TRUE(EnumServiceNames(manager_).empty());
}

TEST(ServiceManagerTest, AnUnusableDatabaseIsAccessDenied) {
  testing::TempDir dir;
  dir.Write("file", "x");
  testing::ScopedEnv env("VLTG_ROOT", (dir.Path() / "file").string());
  EXPECT_FALSE(OpenSCManager());
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SystemErrorMessage(ERROR_ACCESS_DENIED), "Access is denied.");
}

}  // namespace
}  // namespace vltg::platform
