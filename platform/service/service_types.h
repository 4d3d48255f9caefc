#pragma once
// The service layer's numbers and records. The numbers are those of the
// Windows service control manager, because callers store and compare them
// (the gateway installs type 0x110, start type 2; the manager tests state 4).
#include <cstdint>
#include <optional>
#include <string>

namespace vltg::platform {

// Service types. "Interactive" is stored and has no meaning here.
inline constexpr uint32_t SERVICE_WIN32_OWN_PROCESS = 0x10;
inline constexpr uint32_t SERVICE_WIN32_SHARE_PROCESS = 0x20;
inline constexpr uint32_t SERVICE_INTERACTIVE_PROCESS = 0x100;

// Start types; boot and system start belong to drivers and are refused.
inline constexpr uint32_t SERVICE_BOOT_START = 0;
inline constexpr uint32_t SERVICE_SYSTEM_START = 1;
inline constexpr uint32_t SERVICE_AUTO_START = 2;
inline constexpr uint32_t SERVICE_DEMAND_START = 3;
inline constexpr uint32_t SERVICE_DISABLED = 4;

// Error control (stored; nothing here reacts to a failed start by it).
inline constexpr uint32_t SERVICE_ERROR_IGNORE = 0;
inline constexpr uint32_t SERVICE_ERROR_NORMAL = 1;
inline constexpr uint32_t SERVICE_ERROR_SEVERE = 2;
inline constexpr uint32_t SERVICE_ERROR_CRITICAL = 3;

// "Leave as it is" for a number of a configuration change.
inline constexpr uint32_t SERVICE_NO_CHANGE = 0xFFFFFFFF;

// The seven states.
inline constexpr uint32_t SERVICE_STOPPED = 1;
inline constexpr uint32_t SERVICE_START_PENDING = 2;
inline constexpr uint32_t SERVICE_STOP_PENDING = 3;
inline constexpr uint32_t SERVICE_RUNNING = 4;
inline constexpr uint32_t SERVICE_CONTINUE_PENDING = 5;
inline constexpr uint32_t SERVICE_PAUSE_PENDING = 6;
inline constexpr uint32_t SERVICE_PAUSED = 7;

// Control codes; 128 to 255 are the service's own and always passed on.
inline constexpr uint32_t SERVICE_CONTROL_STOP = 1;
inline constexpr uint32_t SERVICE_CONTROL_PAUSE = 2;
inline constexpr uint32_t SERVICE_CONTROL_CONTINUE = 3;
inline constexpr uint32_t SERVICE_CONTROL_INTERROGATE = 4;
inline constexpr uint32_t SERVICE_CONTROL_SHUTDOWN = 5;
inline constexpr uint32_t SERVICE_CONTROL_USER_FIRST = 128;
inline constexpr uint32_t SERVICE_CONTROL_USER_LAST = 255;

// Controls accepted (bits of ServiceStatus::controls_accepted).
inline constexpr uint32_t SERVICE_ACCEPT_STOP = 0x1;
inline constexpr uint32_t SERVICE_ACCEPT_PAUSE_CONTINUE = 0x2;
inline constexpr uint32_t SERVICE_ACCEPT_SHUTDOWN = 0x4;

// The account a service runs under when none is named: the user that runs the
// service layer.
inline constexpr char kLocalSystemAccount[] = "LocalSystem";

struct ServiceStatus {
  uint32_t service_type = 0;
  uint32_t current_state = SERVICE_STOPPED;
  uint32_t controls_accepted = 0;
  uint32_t win32_exit_code = 0;
  uint32_t service_specific_exit_code = 0;
  uint32_t check_point = 0;
  uint32_t wait_hint = 0;
  // The service's process while it runs; 0 when stopped. Reported by the layer.
  uint32_t process_id = 0;

  bool operator==(const ServiceStatus&) const = default;
};

// One record of the service database.
struct ServiceConfig {
  std::string service_name;
  std::string display_name;
  uint32_t service_type = SERVICE_WIN32_OWN_PROCESS;
  uint32_t start_type = SERVICE_DEMAND_START;
  uint32_t error_control = SERVICE_ERROR_NORMAL;
  std::string binary_path;
  // kLocalSystemAccount or a user name (a leading ".\" is allowed).
  std::string account = kLocalSystemAccount;
  // Stored as given, never checked.
  std::string password;

  bool operator==(const ServiceConfig&) const = default;
};

// A configuration change: SERVICE_NO_CHANGE and missing texts leave the
// recorded value as it is.
struct ServiceConfigChange {
  uint32_t service_type = SERVICE_NO_CHANGE;
  uint32_t start_type = SERVICE_NO_CHANGE;
  uint32_t error_control = SERVICE_NO_CHANGE;
  std::optional<std::string> binary_path;
  std::optional<std::string> account;
  std::optional<std::string> password;
  std::optional<std::string> display_name;
};

// The text of a state for tools and messages ("RUNNING", "STOP_PENDING" ...).
const char* ServiceStateName(uint32_t state);

}  // namespace vltg::platform
