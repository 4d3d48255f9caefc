#pragma once
// The rules of the manager's main window: the data directory, the gateway
// service's look in the window (menus, buttons, icon, tip, status bar), the
// service operations, the restart prompt after a saved change, and writing
// Config.Dat with its failures shown. The Qt window maps its controls to this.
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

inline constexpr char kManagerTitle[] = "DI DIZ Evevevu Service Manager";

// "System Error.  Code: %d." and, on the next line, the system's message.
std::string SystemErrorText(uint32_t code);

class TVLSGSrvcMngr {
 public:
  // `manager` is the program-wide service database handle, open for the
  // program's life; `home_dir` the data directory (FHomeDir).
  TVLSGSrvcMngr(MessageSink& sink, const platform::ScManagerHandle& manager, std::string home_dir);

  const std::string& HomeDir() const { return FHomeDir; }
  // FHomeDir, "/" and the file name.
  std::string FilePath(std::string_view name) const;
  MessageSink& Sink() { return FSink; }

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
  // Stop, wait until the service reads stopped, start; with the messages.
  void Restart1Click();

  // After a change was saved: while the service was last seen running, asks
  // whether to restart it.
  void RestartPrompt();

  // Help: the page of a help context, help/<context>.html under the data
  // directory, or the contents, help/index.html, opened by the desktop. A
  // missing page opens nothing.
  void ShowHelp(int context);
  void ShowHelpContents();

  // Runs a page's writes on Config.Dat. A write that fails is shown in an
  // error box and false returned, so no success box or restart prompt
  // follows it.
  bool WriteConfig(const std::function<void(platform::ProfileFile& config)>& writes);

 private:
  class BusyScope;
  void SetLook(const ServiceLook& look);
  platform::ServiceHandle OpenGatewayService() const;
  bool WaitUntilStopped();
  void OpenHelpPage(const std::string& name);

  MessageSink& FSink;
  const platform::ScManagerHandle& FManager;
  const std::string FHomeDir;
  ServiceLook FLook;
  bool FBusy = false;
};

}  // namespace vltg::manager
