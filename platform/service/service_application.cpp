#include "platform/service/service_application.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/base/ascii_text.h"
#include "platform/base/system_error.h"
#include "platform/service/service_control.h"

namespace vltg::platform {

bool FindCmdLineSwitch(const std::vector<std::string>& args, std::string_view name) {
  for (const auto& arg : args) {
    if (arg.size() == name.size() + 1 && (arg[0] == '/' || arg[0] == '-') &&
        EqualsIgnoreCase(std::string_view(arg).substr(1), name)) {
      return true;
    }
  }
  return false;
}

TServiceApplication::TServiceApplication() {
  std::error_code ec;
  program_path_ = std::filesystem::read_symlink("/proc/self/exe", ec).string();
}

int TServiceApplication::Run(const std::vector<std::string>& args) {
  if (service_ == nullptr) return 1;
  const bool silent = FindCmdLineSwitch(args, "SILENT");
  if (FindCmdLineSwitch(args, "INSTALL")) return RegisterServices(true, silent) ? 0 : 1;
  if (FindCmdLineSwitch(args, "UNINSTALL")) return RegisterServices(false, silent) ? 0 : 1;
  return RunDispatcher() ? 0 : 1;
}

bool TServiceApplication::RegisterServices(bool install, bool silent) {
  const std::string& name = service_->GetName();
  bool done = false;
  ScManagerHandle manager = OpenSCManager();
  if (manager) {
    if (install) {
      ServiceConfig config;
      config.service_name = name;
      config.display_name = service_->GetDisplayName();
      config.service_type = service_->GetServiceType();
      config.start_type = service_->GetStartType();
      config.error_control = service_->GetErrorSeverity();
      config.binary_path = program_path_;
      config.account = service_->GetServiceStartName();
      config.password = service_->GetPassword();
      done = static_cast<bool>(platform::CreateService(manager, config));
    } else {
      const ServiceHandle service = OpenService(manager, name);
      done = service && DeleteService(service);
    }
  }
  if (done) {
    ShowMessage(install ? "Service installed successfully" : "Service uninstalled successfully", silent);
  } else {
    const std::string error = SystemErrorMessage(GetLastError());
    ShowMessage("Service \"" + name + "\" failed to " + (install ? "install" : "uninstall") + " with error: \"" +
                    error + "\"",
                silent);
  }
  return done;
}

bool TServiceApplication::RunDispatcher() {
  const ThreadRef main_thread = CurrentThread();
  bool quit = false;
  SetThreadMessageHandler([&quit](uint32_t msg, uintptr_t, intptr_t) {
    if (msg == WM_QUIT) quit = true;
  });
  bool connected = false;
  std::thread dispatcher([&] {
    connected = StartServiceCtrlDispatcher(service_->GetName(),
                                           [this](const std::vector<std::string>& args) { service_->Main(args); });
    main_thread.PostThreadMessage(WM_QUIT);
  });
  while (!quit) WaitMessage(-1);
  dispatcher.join();
  SetThreadMessageHandler(nullptr);
  return connected;
}

void TServiceApplication::ShowMessage(const std::string& text, bool silent) const {
  if (silent) return;
  if (OnMessage) {
    OnMessage(text);
  } else {
    std::fprintf(stderr, "%s\n", text.c_str());
  }
}

}  // namespace vltg::platform
