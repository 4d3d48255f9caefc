#pragma once
// The rules of the manager's main window: the data directory, the gateway
// service's look in the window (menus, buttons, icon, tip, status bar), the
// service operations (install, uninstall with the service logon, start, stop,
// restart, the status poll), the restart prompt after a saved change, and
// writing Config.Dat with its failures shown. The Qt window maps its controls
// to this.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "manager/model/message_sink.h"
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

// The service group's edits as the operator left them.
struct LogonEdits {
  std::string logon_name;
  std::string logon_password;
  bool default_logon = true;
};

inline constexpr char kManagerTitle[] = "DI DIZ Evevevu Service Manager";
inline constexpr int kStatusPollMs = 10000;  // Timer2's interval

// "System Error.  Code: %d." and, on the next line, the system's message.
std::string SystemErrorText(uint32_t code);

// The program-wide service database, opened first at start. When it cannot
// be opened the system error is shown and an empty handle returned: the
// program then ends.
platform::ScManagerHandle OpenServiceDatabase(MessageSink& sink);

class TVLSGSrvcMngr {
 public:
  // `manager` is the program-wide service database handle, open for the
  // program's life; `home_dir` the data directory (FHomeDir).
  TVLSGSrvcMngr(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir);

  const std::string& HomeDir() const { return FHomeDir; }
  // FHomeDir, "/" and the file name.
  std::string FilePath(std::string_view name) const;
  MessageSink& Sink() { return FSink; }

  // Start-up, before the window: asks to configure when there is no
  // Config.Dat (the answer is not used).
  void CheckSettingsExist();
  // The window's creation: the service's look; one error box naming each of
  // Config.Dat and Route.Dat that exists but cannot be read, and why; then
  // the service group's edits from [Server].
  void FormCreate();

  const ServiceLook& Look() const { return FLook; }
  // True while a service operation runs: the window disables the service
  // actions, so a second click cannot start one inside it.
  bool Busy() const { return FBusy; }
  // Raised whenever the look or Busy changes.
  std::function<void(TVLSGSrvcMngr& sender)> OnLookChange;

  // Applies the look of the service's state; no handle gives the
  // not-installed look. Lets pending events through at the end.
  void UpdateServiceStatus(const platform::ServiceHandle* service);
  // Opens the service and applies its look (the status poll's work).
  void RefreshServiceStatus();

  // Start and stop without messages; true when the service layer took the
  // request. Each applies the look afterwards.
  bool StartGatewayService();
  bool StopGatewayService();
  // Start, stop, and stop, wait until the service reads stopped, start;
  // each with its message.
  void Start1Click();
  void Stop1Click();
  void Restart1Click();
  // The status poll, every kStatusPollMs; skipped while an operation runs
  // (the operation applies the look when it ends).
  void Timer2Timer();

  // The service group: the logon edits, loaded from [Server] at creation.
  LogonEdits& Logon() { return FLogonEdits; }
  // Checked "Default Service Logon" disables the logon labels and edits.
  void DefaultLogonClick(bool checked) { FLogonEdits.default_logon = checked; }
  bool LogonEditsEnabled() const { return !FLogonEdits.default_logon; }
  // Install with the logon, uninstall (stopping a running service first),
  // and "Apply Changes": the logon saved and the service reconfigured.
  void Install1Click();
  void Uninstall1Click();
  void ApplySvcChgClick();

  // After a change was saved: while the service was last seen running, asks
  // whether to restart it.
  void RestartPrompt();

  // Help: the page of a help context, help/<context>.html under the data
  // directory, or the contents, help/index.html, opened by the desktop. A
  // missing page opens nothing.
  void ShowHelp(int context);
  void ShowHelpContents();

  // Config.Dat for loading what the window shows: a file that exists but
  // cannot be read gives the defaults (FormCreate has said why).
  platform::ProfileFile ConfigToLoad() const;
  // Runs a page's writes on Config.Dat in memory and replaces the file once.
  // A write that fails (a file that cannot be read among them) is shown in an
  // error box, the file left as it was, and false returned, so no success box
  // or restart prompt follows it.
  bool WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes);

 private:
  // Marks an operation: Busy while it lives.
  class BusyScope {
   public:
    explicit BusyScope(TVLSGSrvcMngr& owner);
    ~BusyScope();
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

   private:
    void Set(bool busy);
    TVLSGSrvcMngr& owner_;
    bool was_;
  };

  void SetLook(const ServiceLook& look);
  platform::ServiceHandle OpenGatewayService() const;
  bool WaitUntilStopped();
  bool StoppedForRemoval(const platform::ServiceHandle& service);
  void OpenHelpPage(const std::string& name);
  bool WhileEventsFlow(const std::function<bool()>& call);
  bool LogonCheck();
  bool SaveServerSettings();
  void LoadServerSettings();
  void ReportUnreadableFiles();
  platform::ServiceConfig GatewayServiceConfig() const;

  MessageSink& FSink;
  const platform::ScManagerHandle& FManager;
  const std::string FHomeDir;
  ServiceLook FLook;
  bool FBusy = false;
  LogonEdits FLogonEdits;
  // The account the service is installed under; both empty: LocalSystem.
  std::string FLogonName;
  std::string FLogonPassword;
};

}  // namespace vltg::manager
