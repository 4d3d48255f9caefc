#pragma once
// The rules of the manager's main window: the data directory, the gateway
// service's look in the window (menus, buttons, icon, tip, status bar), the
// service operations (install, uninstall with the service logon, start, stop,
// restart, the status poll), the restart prompt after a saved change, and
// writing Config.Dat with its failures shown. The Qt window maps its controls
// to this. Every call of the service layer runs on the background runner:
// the window's thread never waits on the gateway.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "manager/model/background_runner.h"
#include "manager/model/message_sink.h"
#include "manager/model/page_host.h"
#include "platform/base/system_error.h"
#include "platform/profile/profile_file.h"
#include "platform/service/service_control.h"

namespace vltg::manager {

// What the last status left in the window. The notification menu's Start,
// Stop and Restart follow the Service menu's; Install and Uninstall are the
// menu items and the buttons.
struct ServiceLook {
  bool start = false;
  bool stop = false;
  bool restart = false;
  bool install = true;
  bool uninstall = false;
  bool apply_changes = false;  // the service group's "Apply Changes"
  int icon = 0;                // 0 gateway off-line, 1 on-line
  std::string tip;             // the notification icon's tip
  std::string status;          // the status bar's text

  bool operator==(const ServiceLook&) const = default;
};

// The gateway service as one reading found it, off the window's thread.
struct ServiceReading {
  bool installed = false;  // the service could be opened
  bool queried = false;    // and its status read: `status` holds it
  platform::ServiceStatus status;
  uint32_t error = 0;  // why the query failed
};

// The service layer's part of a reading; off the window's thread only, as
// they may wait on the gateway.
platform::ServiceHandle OpenGatewayService(const platform::ScManagerHandle& manager);
ServiceReading ReadServiceStatus(const platform::ServiceHandle& service);
ServiceReading ReadGatewayService(const platform::ScManagerHandle& manager);

// The service group's edits as the operator left them.
struct LogonEdits {
  std::string logon_name;
  std::string logon_password;
  bool default_logon = true;
};

inline constexpr char kManagerTitle[] = "DI DIZ Evevevu Service Manager";
inline constexpr int kStatusPollMs = 10000;  // the status poll's interval

// "System Error.  Code: %d." and, on the next line, the system's message.
std::string SystemErrorText(uint32_t code);

// The program-wide service database, opened first at start. When it cannot
// be opened the system error is shown and an empty handle returned: the
// program then ends.
platform::ScManagerHandle OpenServiceDatabase(MessageSink& sink);

class TServiceManager : public PageHost {
 public:
  // `manager` is the program-wide service database handle, open for the
  // program's life; `home_dir` the data directory (FHomeDir); `runner` runs
  // the service calls, and outlives this.
  TServiceManager(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir,
                  BackgroundRunner& runner);

  const std::string& HomeDir() const { return FHomeDir; }
  std::string FilePath(std::string_view name) const override;
  MessageSink& Sink() override { return FSink; }

  // Start-up, before the window: asks to configure when there is no
  // Config.Dat (the answer is not used).
  void CheckSettingsExist();
  // The window's creation: a status poll started (until its reading arrives
  // no service action is offered); one error box naming each of Config.Dat
  // and Route.Dat that exists but cannot be read, and why; then the service
  // group's edits from [Server].
  void WindowCreated();

  const ServiceLook& Look() const { return FLook; }
  // True while a service operation runs: the window disables the service
  // actions, so a second click cannot start one inside it.
  bool Busy() const { return FBusy; }
  // Raised whenever the look or Busy changes.
  std::function<void(TServiceManager& sender)> OnLookChange;

  // Applies the look of a reading of the service's state; a service that
  // could not be opened gives the not-installed look. Lets pending events
  // through at the end.
  void UpdateServiceStatus(const ServiceReading& reading);
  // Reads the service's state and applies its look, letting the window's
  // events through until the reading is there.
  void RefreshServiceStatus();

  // Start and stop without messages; true when the service layer took the
  // request. Each applies the look afterwards.
  bool StartGatewayService();
  bool StopGatewayService();
  // Start, stop, and stop, wait until the service reads stopped, start;
  // each with its message.
  void Start();
  void Stop();
  void Restart();
  // The status poll, every kStatusPollMs: the reading runs in the
  // background and its look is applied when it arrives. Skipped while an
  // operation or an earlier poll runs; a reading that an operation has
  // overtaken is dropped (the operation applies the look when it ends).
  void PollStatus();
  bool Polling() const { return FPolling; }

  // File/Exit and the notification menu's Exit: raises OnExit at once, or,
  // while an operation runs, once it has finished (its boxes included).
  void Exit();
  bool Exiting() const { return FExiting; }
  std::function<void(TServiceManager& sender)> OnExit;

  // The service group: the logon edits, loaded from [Server] at creation.
  LogonEdits& Logon() { return FLogonEdits; }
  // Checked "Default Service Logon" disables the logon labels and edits.
  void SetDefaultLogon(bool checked) { FLogonEdits.default_logon = checked; }
  bool LogonEditsEnabled() const { return !FLogonEdits.default_logon; }
  // Install with the logon, uninstall (stopping a running service first),
  // and "Apply Changes": the logon saved and the service reconfigured.
  void Install();
  void Uninstall();
  void ApplyServiceChanges();

  // The pages' host. The restart prompt asks only while the service was last
  // seen running.
  void RestartPrompt() override;

  // Help: the page of a help context, help/<context>.html under the data
  // directory, or the contents, help/index.html, opened by the desktop. A
  // missing page opens nothing.
  void ShowHelp(int context) override;
  void ShowHelpContents();

  // Config.Dat: a file that cannot be read is named by WindowCreated.
  platform::ProfileFile ConfigToLoad() const override;
  bool WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes) override;

 private:
  // Marks an operation: Busy while it lives.
  class BusyScope {
   public:
    explicit BusyScope(TServiceManager& owner);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    void Set(bool busy);
    TServiceManager& owner_;
    bool was_;
  };

  // Runs `call` with the service database on the runner while the window's
  // events flow, and hands back its result with the last error it left.
  template <typename Call>
  auto OffWindow(Call call) -> decltype(call(std::declval<const platform::ScManagerHandle&>()));

  void SetLook(const ServiceLook& look);
  bool WaitUntilStopped();
  bool StoppedForRemoval(const ServiceReading& reading);
  void OpenHelpPage(const std::string& name);
  bool LogonCheck();
  bool SaveServerSettings();
  void LoadServerSettings();
  void ReportUnreadableFiles();
  platform::ServiceConfig GatewayServiceConfig() const;

  MessageSink& FSink;
  const platform::ScManagerHandle& FManager;
  const std::string FHomeDir;
  BackgroundRunner& FRunner;
  ServiceLook FLook;
  bool FBusy = false;
  int FOperations = 0;  // operations begun: a poll begun before one is stale
  bool FPolling = false;
  bool FExiting = false;
  LogonEdits FLogonEdits;
  // The account the service is installed under; both empty: LocalSystem.
  std::string FLogonName;
  std::string FLogonPassword;
};

template <typename Call>
auto TServiceManager::OffWindow(Call call) -> decltype(call(std::declval<const platform::ScManagerHandle&>())) {
  using Result = decltype(call(FManager));
  // On this frame: the wait below returns only once `done` has run. The work
  // starts with the window's last error, as the call would on its thread.
  std::optional<Result> result;
  uint32_t error = platform::GetLastError();
  bool finished = false;
  FRunner.Run(
      [&] {
        platform::SetLastError(error);
        result.emplace(call(FManager));
        error = platform::GetLastError();
      },
      [&finished] { finished = true; });
  FRunner.WaitUntil([&finished] { return finished; });
  platform::SetLastError(error);
  return std::move(*result);
}

}  // namespace vltg::manager
