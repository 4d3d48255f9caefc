// The service group's rules: the service logon loaded from and saved to
// [Server], install, uninstall, and reconfiguring the installed service.
#include "manager/model/service_manager.h"

#include <optional>
#include <string>
#include <utility>

#include "datafiles/config_file.h"
#include "datafiles/data_directory.h"
#include "datafiles/service_names.h"
#include "platform/base/system_error.h"

namespace vltg::manager {

namespace {

constexpr char kProgramName[] = "vltg";

}  // namespace

void TServiceManager::LoadServerSettings() {
  const platform::ProfileFile config = ConfigToLoad();
  FLogonEdits.logon_name = ReadConfig(config, kServerSection, kServerLogonName, ConfigReader::kManager);
  FLogonEdits.logon_password = ReadConfig(config, kServerSection, kServerPassword, ConfigReader::kManager);
  SetDefaultLogon(ReadConfig(config, kServerSection, kServerDefaultLogon, ConfigReader::kManager));
}

// The account the service is to run under; both empty for the default one.
bool TServiceManager::LogonCheck() {
  if (FLogonEdits.default_logon) {
    FLogonName.clear();
    FLogonPassword.clear();
    return true;
  }
  if (FLogonEdits.logon_name.empty()) {
    FSink.Beep();
    FSink.ShowBox("Must Enter Logon Name!", BoxKind::kError, BoxButtons::kOk);
    FSink.Focus("LogonName");
    return false;
  }
  if (FLogonEdits.logon_password.empty()) {
    FSink.Beep();
    FSink.ShowBox("Must Enter Logon Password!", BoxKind::kError, BoxButtons::kOk);
    FSink.Focus("LogonPassword");
    return false;
  }
  FLogonName = FLogonEdits.logon_name;
  FLogonPassword = FLogonEdits.logon_password;
  return true;
}

// The typed name and password are kept also when the default account is used.
bool TServiceManager::SaveServerSettings() {
  return WriteConfig([this](platform::ProfileFile& config) {
    vltg::WriteConfig(config, kServerSection, kServerLogonName, FLogonEdits.logon_name);
    vltg::WriteConfig(config, kServerSection, kServerPassword, FLogonEdits.logon_password);
    vltg::WriteConfig(config, kServerSection, kServerDefaultLogon, FLogonEdits.default_logon);
  });
}

// The service as the manager installs it. With the default logon the
// account is named: an empty one would leave a service that was installed
// under a named account where it is when the configuration is changed.
platform::ServiceConfig TServiceManager::GatewayServiceConfig() const {
  platform::ServiceConfig config;
  config.service_name = kGatewayServiceName;
  config.display_name = kGatewayDisplayName;
  config.service_type = platform::SERVICE_WIN32_OWN_PROCESS | platform::SERVICE_INTERACTIVE_PROCESS;
  config.start_type = platform::SERVICE_AUTO_START;
  config.error_control = platform::SERVICE_ERROR_NORMAL;
  config.binary_path = FilePath(kProgramName);
  config.account = FLogonName.empty() ? platform::kLocalSystemAccount : FLogonName;
  config.password = FLogonPassword;
  return config;
}

void TServiceManager::Install() {
  BusyScope busy(*this);
  if (!LogonCheck() || !SaveServerSettings()) return;
  const std::optional<ServiceReading> installed =
      OffWindow([config = GatewayServiceConfig()](const platform::ScManagerHandle& manager) {
        const platform::ServiceHandle service = platform::CreateService(manager, config);
        return service ? std::optional(ReadServiceStatus(service)) : std::nullopt;
      });
  if (!installed) {
    FSink.ShowBox(SystemErrorText(platform::GetLastError()), BoxKind::kError, BoxButtons::kOk);
    return;
  }
  UpdateServiceStatus(*installed);
  FSink.ShowBox(std::string(kGatewayDisplayName) + " Service Installed!", BoxKind::kInformation, BoxButtons::kOk);
}

// The service's state is read now, not taken from the last poll: a service
// started since then is stopped first, and it must read stopped before it is
// removed, or it would run on unmanaged while the window shows it gone.
bool TServiceManager::StoppedForRemoval(const ServiceReading& reading) {
  const bool known = reading.queried;
  if (known && reading.status.current_state == platform::SERVICE_STOPPED) return true;
  // A record that cannot be read gives no state: the removal itself refuses
  // while the service still runs.
  if (!known && reading.error == platform::ERROR_FILE_CORRUPT) return true;
  const bool stopping = known && reading.status.current_state == platform::SERVICE_STOP_PENDING;
  return (stopping || StopGatewayService()) && WaitUntilStopped();
}

void TServiceManager::Uninstall() {
  BusyScope busy(*this);
  const ServiceReading service = OffWindow(ReadGatewayService);
  if (service.installed && !StoppedForRemoval(service)) {
    FSink.Beep();
    FSink.ShowBox("Unable To Stop Service!", BoxKind::kWarning, BoxButtons::kOk);
    return;
  }
  if (!service.installed) {
    FSink.Beep();
    FSink.ShowBox("Service Not Installed!", BoxKind::kInformation, BoxButtons::kOk);
    return;
  }
  FSink.Beep();
  if (FSink.ShowBox("Remove RA VARU Daridev Service?", BoxKind::kConfirmation, BoxButtons::kYesNo) != BoxAnswer::kYes) {
    return;
  }
  const bool deleted = OffWindow([](const platform::ScManagerHandle& manager) {
    return platform::DeleteService(OpenGatewayService(manager));
  });
  if (!deleted) {
    FSink.ShowBox(SystemErrorText(platform::GetLastError()), BoxKind::kError, BoxButtons::kOk);
    return;
  }
  FSink.ShowBox("RA VARU Daridev Service Removed!", BoxKind::kInformation, BoxButtons::kOk);
  UpdateServiceStatus(ServiceReading{});
}

void TServiceManager::ApplyServiceChanges() {
  BusyScope busy(*this);
  if (!LogonCheck() || !SaveServerSettings()) return;
  const platform::ServiceConfig config = GatewayServiceConfig();
  const platform::ServiceConfigChange change{config.service_type, config.start_type, config.error_control,
                                             config.binary_path,  config.account,    config.password,
                                             config.display_name};
  // Nothing when the service cannot be opened; else whether the change was
  // taken, and the reading after it.
  const auto changed = OffWindow([&change](const platform::ScManagerHandle& manager) {
    const platform::ServiceHandle service = OpenGatewayService(manager);
    const bool taken = service && platform::ChangeServiceConfig(service, change);
    return service ? std::optional(std::pair(taken, ReadServiceStatus(service))) : std::nullopt;
  });
  if (!changed) {
    FSink.Beep();
    FSink.ShowBox("Service Update Failed!", BoxKind::kWarning, BoxButtons::kOk);
    return;
  }
  if (changed->first) {
    FSink.ShowBox("Service Updated!", BoxKind::kWarning, BoxButtons::kOk);
  } else {
    FSink.ShowBox("Service Update Failed!", BoxKind::kWarning, BoxButtons::kOk);
  }
  UpdateServiceStatus(changed->second);
}

}  // namespace vltg::manager
