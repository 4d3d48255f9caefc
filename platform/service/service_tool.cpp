#include "platform/service/service_tool.h"

#include <charconv>
#include <cstdio>

#include "platform/base/ascii_text.h"
#include "platform/base/system_error.h"
#include "platform/service/service_control.h"

namespace vltg::platform {
namespace {

struct Choice {
  const char* word;
  uint32_t value;
};

constexpr Choice kTypes[] = {{"own", SERVICE_WIN32_OWN_PROCESS},
                             {"share", SERVICE_WIN32_SHARE_PROCESS},
                             {"interact", SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS}};
constexpr Choice kStarts[] = {{"auto", SERVICE_AUTO_START}, {"demand", SERVICE_DEMAND_START}, {"disabled", SERVICE_DISABLED}};
constexpr Choice kErrors[] = {{"ignore", SERVICE_ERROR_IGNORE},
                              {"normal", SERVICE_ERROR_NORMAL},
                              {"severe", SERVICE_ERROR_SEVERE},
                              {"critical", SERVICE_ERROR_CRITICAL}};

template <std::size_t N>
bool ParseChoice(const std::string& text, const Choice (&choices)[N], uint32_t& value) {
  for (const auto& choice : choices) {
    if (EqualsIgnoreCase(text, choice.word)) {
      value = choice.value;
      return true;
    }
  }
  std::string_view digits = text;
  int base = 10;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits.remove_prefix(2);
    base = 16;
  }
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  return !digits.empty() && ec == std::errc() && end == digits.data() + digits.size();
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%x", value);
  return text;
}

std::string TypeText(uint32_t type) {
  std::string text = Hex(type).substr(2) + "  ";
  switch (type & ~SERVICE_INTERACTIVE_PROCESS) {
    case SERVICE_WIN32_OWN_PROCESS:
      text += "WIN32_OWN_PROCESS";
      break;
    case SERVICE_WIN32_SHARE_PROCESS:
      text += "WIN32_SHARE_PROCESS";
      break;
    default:
      text += "UNKNOWN";
  }
  if (type & SERVICE_INTERACTIVE_PROCESS) text += " (interactive)";
  return text;
}

const char* StartText(uint32_t start) {
  switch (start) {
    case SERVICE_AUTO_START:
      return "AUTO_START";
    case SERVICE_DEMAND_START:
      return "DEMAND_START";
    case SERVICE_DISABLED:
      return "DISABLED";
    default:
      return "UNKNOWN";
  }
}

const char* ErrorControlText(uint32_t error) {
  switch (error) {
    case SERVICE_ERROR_IGNORE:
      return "IGNORE";
    case SERVICE_ERROR_NORMAL:
      return "NORMAL";
    case SERVICE_ERROR_SEVERE:
      return "SEVERE";
    case SERVICE_ERROR_CRITICAL:
      return "CRITICAL";
    default:
      return "UNKNOWN";
  }
}

int Failed(std::ostream& out, const char* operation) {
  const uint32_t error = GetLastError();
  out << "[SC] " << operation << " FAILED " << error << ":\n\n" << SystemErrorMessage(error) << "\n\n";
  return 1;
}

void PrintStatus(std::ostream& out, const std::string& name, const ServiceStatus& s) {
  out << "\nSERVICE_NAME: " << name << "\n";
  out << "        TYPE               : " << TypeText(s.service_type) << "\n";
  out << "        STATE              : " << s.current_state << "  " << ServiceStateName(s.current_state) << "\n";
  out << "                                (" << ((s.controls_accepted & SERVICE_ACCEPT_STOP) ? "STOPPABLE" : "NOT_STOPPABLE")
      << ", " << ((s.controls_accepted & SERVICE_ACCEPT_PAUSE_CONTINUE) ? "PAUSABLE" : "NOT_PAUSABLE") << ", "
      << ((s.controls_accepted & SERVICE_ACCEPT_SHUTDOWN) ? "ACCEPTS_SHUTDOWN" : "IGNORES_SHUTDOWN") << ")\n";
  out << "        WIN32_EXIT_CODE    : " << s.win32_exit_code << "  (" << Hex(s.win32_exit_code) << ")\n";
  out << "        SERVICE_EXIT_CODE  : " << s.service_specific_exit_code << "  (" << Hex(s.service_specific_exit_code)
      << ")\n";
  out << "        CHECKPOINT         : " << Hex(s.check_point) << "\n";
  out << "        WAIT_HINT          : " << Hex(s.wait_hint) << "\n";
  out << "        PID                : " << s.process_id << "\n";
}

void PrintConfig(std::ostream& out, const ServiceConfig& c) {
  out << "[SC] QueryServiceConfig SUCCESS\n\nSERVICE_NAME: " << c.service_name << "\n";
  out << "        TYPE               : " << TypeText(c.service_type) << "\n";
  out << "        START_TYPE         : " << c.start_type << "   " << StartText(c.start_type) << "\n";
  out << "        ERROR_CONTROL      : " << c.error_control << "   " << ErrorControlText(c.error_control) << "\n";
  out << "        BINARY_PATH_NAME   : " << c.binary_path << "\n";
  out << "        DISPLAY_NAME       : " << c.display_name << "\n";
  out << "        SERVICE_START_NAME : " << c.account << "\n";
}

int Usage(std::ostream& out) {
  out << "Usage: vltg-sc create|config NAME [binPath= PATH] [DisplayName= TEXT] [type= own|share|interact]\n"
         "                                [start= auto|demand|disabled] [error= ignore|normal|severe|critical]\n"
         "                                [obj= ACCOUNT] [password= TEXT]\n"
         "       vltg-sc start|stop|query|qc|delete NAME\n"
         "       vltg-sc autostart\n";
  return 2;
}

int AutoStart(std::ostream& out, const ScManagerHandle& manager) {
  int result = 0;
  for (const auto& name : EnumServiceNames(manager)) {
    const ServiceHandle service = OpenService(manager, name);
    ServiceConfig config;
    if (!service || !QueryServiceConfig(service, config) || config.start_type != SERVICE_AUTO_START) continue;
    if (StartService(service)) {
      out << "[SC] StartService " << name << " SUCCESS\n";
    } else if (GetLastError() != ERROR_SERVICE_ALREADY_RUNNING) {
      out << name << ": ";
      result = Failed(out, "StartService");
    }
  }
  return result;
}

}  // namespace

bool ParseServiceToolOptions(const std::vector<std::string>& options, ServiceConfigChange& change, std::string& bad) {
  for (std::size_t i = 0; i < options.size(); ++i) {
    const std::string& option = options[i];
    const std::size_t eq = option.find('=');
    if (eq == std::string::npos || eq == 0) {
      bad = option;
      return false;
    }
    const std::string key = option.substr(0, eq);
    std::string value = option.substr(eq + 1);
    if (value.empty()) {
      // "key= value": the value is the next argument.
      if (i + 1 == options.size()) {
        bad = option;
        return false;
      }
      value = options[++i];
    }
    bool ok = true;
    if (EqualsIgnoreCase(key, "binPath")) {
      change.binary_path = value;
    } else if (EqualsIgnoreCase(key, "DisplayName")) {
      change.display_name = value;
    } else if (EqualsIgnoreCase(key, "obj")) {
      change.account = value;
    } else if (EqualsIgnoreCase(key, "password")) {
      change.password = value;
    } else if (EqualsIgnoreCase(key, "type")) {
      ok = ParseChoice(value, kTypes, change.service_type);
    } else if (EqualsIgnoreCase(key, "start")) {
      ok = ParseChoice(value, kStarts, change.start_type);
    } else if (EqualsIgnoreCase(key, "error")) {
      ok = ParseChoice(value, kErrors, change.error_control);
    } else {
      ok = false;
    }
    if (!ok) {
      bad = key + "= " + value;
      return false;
    }
  }
  return true;
}

int RunServiceTool(const std::vector<std::string>& args, std::ostream& out) {
  if (args.empty()) return Usage(out);
  const std::string& command = args[0];
  const ScManagerHandle manager = OpenSCManager();
  if (!manager) return Failed(out, "OpenSCManager");
  if (EqualsIgnoreCase(command, "autostart") && args.size() == 1) return AutoStart(out, manager);
  if (args.size() < 2) return Usage(out);
  const std::string& name = args[1];
  const std::vector<std::string> options(args.begin() + 2, args.end());

  if (EqualsIgnoreCase(command, "create") || EqualsIgnoreCase(command, "config")) {
    ServiceConfigChange change;
    std::string bad;
    if (!ParseServiceToolOptions(options, change, bad)) {
      out << "[SC] Bad option: " << bad << "\n";
      return Usage(out);
    }
    if (EqualsIgnoreCase(command, "create")) {
      ServiceConfig config;
      config.service_name = name;
      if (change.service_type != SERVICE_NO_CHANGE) config.service_type = change.service_type;
      if (change.start_type != SERVICE_NO_CHANGE) config.start_type = change.start_type;
      if (change.error_control != SERVICE_NO_CHANGE) config.error_control = change.error_control;
      config.binary_path = change.binary_path.value_or("");
      config.display_name = change.display_name.value_or("");
      config.account = change.account.value_or(kLocalSystemAccount);
      config.password = change.password.value_or("");
      if (!CreateService(manager, config)) return Failed(out, "CreateService");
      out << "[SC] CreateService SUCCESS\n";
      return 0;
    }
    const ServiceHandle service = OpenService(manager, name);
    if (!service) return Failed(out, "OpenService");
    if (!ChangeServiceConfig(service, change)) return Failed(out, "ChangeServiceConfig");
    out << "[SC] ChangeServiceConfig SUCCESS\n";
    return 0;
  }
  if (!options.empty()) return Usage(out);

  const bool known = EqualsIgnoreCase(command, "start") || EqualsIgnoreCase(command, "stop") ||
                     EqualsIgnoreCase(command, "query") || EqualsIgnoreCase(command, "qc") ||
                     EqualsIgnoreCase(command, "delete");
  if (!known) return Usage(out);
  const ServiceHandle service = OpenService(manager, name);
  if (!service) return Failed(out, "OpenService");
  ServiceStatus status;
  if (EqualsIgnoreCase(command, "start")) {
    if (!StartService(service)) return Failed(out, "StartService");
    if (!QueryServiceStatus(service, status)) return Failed(out, "QueryServiceStatus");
    PrintStatus(out, service.Name(), status);
  } else if (EqualsIgnoreCase(command, "stop")) {
    if (!ControlService(service, SERVICE_CONTROL_STOP, status)) return Failed(out, "ControlService");
    PrintStatus(out, service.Name(), status);
  } else if (EqualsIgnoreCase(command, "query")) {
    if (!QueryServiceStatus(service, status)) return Failed(out, "QueryServiceStatus");
    PrintStatus(out, service.Name(), status);
  } else if (EqualsIgnoreCase(command, "qc")) {
    ServiceConfig config;
    if (!QueryServiceConfig(service, config)) return Failed(out, "QueryServiceConfig");
    PrintConfig(out, config);
  } else {
    if (!DeleteService(service)) return Failed(out, "DeleteService");
    out << "[SC] DeleteService SUCCESS\n";
  }
  return 0;
}

}  // namespace vltg::platform
