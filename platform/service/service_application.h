#pragma once
// TServiceApplication: the frame of a service program. With the switch
// INSTALL or UNINSTALL (after "/" or "-", any case) it registers or removes
// its service and ends; SILENT keeps the outcome to itself. Otherwise it runs
// the service dispatcher in a thread of its own while the calling (main)
// thread runs a message loop, and ends when the dispatcher returns: at once
// when the program was not started by the service layer.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/service/service.h"

namespace vltg::platform {

// True when one argument is the switch: "/" or "-" and the name, in any case.
bool FindCmdLineSwitch(const std::vector<std::string>& args, std::string_view name);

class TServiceApplication {
 public:
  // A thread message that ends the main thread's loop.
  static constexpr uint32_t WM_QUIT = 0x0012;

  TServiceApplication();

  // The program's one service; it must outlive Run.
  void CreateService(TService& service) { service_ = &service; }

  // What a message box would show. A line on standard error unless set.
  std::function<void(const std::string& text)> OnMessage;

  // The program path that INSTALL registers: the running program's own.
  const std::string& GetProgramPath() const { return program_path_; }

  // `args` are the command-line arguments after the program name. Returns
  // the process exit status: 0 when the install, uninstall or service run
  // succeeded.
  int Run(const std::vector<std::string>& args);

 private:
  bool RegisterServices(bool install, bool silent);
  bool RunDispatcher();
  void ShowMessage(const std::string& text, bool silent) const;

  TService* service_ = nullptr;
  std::string program_path_;
};

}  // namespace vltg::platform
