#include "gateway/snpp/ag_ras.h"

#include <algorithm>

#include "gateway/snpp/sock.h"

namespace vltg {
namespace {

// The progress texts of the dial states: the library's own text with the id,
// else the fallback.
struct StatusRow {
  int id;
  const char* fallback;
};

const StatusRow* FindStatusRow(int state) {
  static constexpr StatusRow kInitializing{120, "Initializing..."};
  static constexpr StatusRow kDialing{122, "Dialing..."};
  static constexpr StatusRow kVerifying{124, "Verifying user name and password"};
  static constexpr StatusRow kVerified{131, "User name and password verified"};
  static constexpr StatusRow kLoggingOn{128, "Logging on to Network"};
  static constexpr StatusRow kConnected{129, "Successfully connected"};
  switch (state) {
    case 0:
      return &kInitializing;
    case 2:
    case 3:
    case 4:
      return &kDialing;
    case 5:
    case 19:
      return &kVerifying;
    case 14:
      return &kVerified;
    case 21:
      return &kLoggingOn;
    case RASCS_Connected:
      return &kConnected;
    default:
      return nullptr;
  }
}

constexpr size_t kMaxEntryName = 256;
constexpr size_t kMaxText = 255;

std::string ErrorText(int code, const RasLibrary& library) {
  if (!library.GetErrorString) return {};
  std::string text;
  if (library.GetErrorString(code, text) != 0) return "RAS error no " + std::to_string(code);
  return text.substr(0, kMaxText);
}

}  // namespace

ERASError::ERASError(int code, const RasLibrary& library) : Exception(ErrorText(code, library)), code_(code) {}

TagRas::TagRas(RasLibrary library) : FLibrary(std::move(library)) {
  FCountdown.FStartValue = 120;
  FWindow = std::make_unique<platform::MessageTarget>(
      [this](uint32_t msg, uintptr_t wparam, intptr_t lparam) { return WndProc(msg, wparam, lparam); });
  RefreshEntries();
}

TagRas::~TagRas() {
  for (TSock* sock : FHolders) sock->FRAS = nullptr;
}

void TagRas::Show(const std::string& text) const {
  if (ShowMessage) ShowMessage(text);
}

void TagRas::Check(int result) {
  FLastError = result;
  if (result != 0) throw ERASError(result, FLibrary);
}

void TagRas::SetService(const std::string& value) {
  if (value.empty()) {
    FService.clear();
    return;
  }
  if (FEntries.empty()) {
    Show("TagRas component was unable to detect\rRAS on your system.");
    return;
  }
  if (FConnected) {
    Show("This property can be set only before\restablishing the connection");
    return;
  }
  RefreshEntries();
  if (std::find(FEntries.begin(), FEntries.end(), value) == FEntries.end()) {
    Show("Invalid service name");
    FService.clear();
    return;
  }
  FService = value;
}

std::vector<std::string> TagRas::RefreshEntries() {
  FEntries.clear();
  if (!FLibrary.EnumEntries) return FEntries;
  std::vector<std::string> names;
  FLastError = FLibrary.EnumEntries(kEntryRoom, names);
  if (FLastError == 0) {
    if (names.size() > kEntryRoom) names.resize(kEntryRoom);
    for (const auto& name : names) FEntries.push_back(name.substr(0, kMaxEntryName));
  }
  return FEntries;
}

bool TagRas::FindConnection() {
  if (!FLibrary.EnumConnections) return false;
  std::vector<RasConnection> connections;
  Check(FLibrary.EnumConnections(kConnectionRoom, connections));
  if (connections.size() > kConnectionRoom) connections.resize(kConnectionRoom);
  for (const auto& connection : connections) {
    if (connection.entry_name == FService || connection.handle == FHandle) {
      FHandle = connection.handle;
      return true;
    }
  }
  if (FForceService || !FLibrary.GetProjectionIp) return false;
  for (const auto& connection : connections) {
    std::string ip_address;
    Check(FLibrary.GetProjectionIp(connection.handle, ip_address));
    if (!ip_address.empty()) {
      FHandle = connection.handle;
      return true;
    }
  }
  return false;
}

void TagRas::Dial() {
  if (FindConnection() || FService.empty()) {
    FConnected = true;
    FDialled = false;
    return;
  }
  if (!FLibrary.GetEntryDialParams || !FLibrary.SetEntryDialParams || !FLibrary.Dial) return;
  FDialled = true;
  FHandle = kNoRasConnection;
  FConnected = false;
  FCancelled = false;
  FCountdown.FExpired = false;

  RasDialParams params;
  params.entry_name = FService;
  bool password_saved = false;
  Check(FLibrary.GetEntryDialParams(params, password_saved));
  if (!password_saved) {
    params.password = FPassword;
    Check(FLibrary.SetEntryDialParams(params, FRemovePassword));
  }
  FLastError = FLibrary.Dial(params, FWindow->Ref(), WM_RASDIALEVENT, FHandle);
  if (FLastError != 0) {
    const int error = FLastError;
    HangUp();
    throw ERASError(error, FLibrary);
  }

  FCountdown.Start();
  while (!FConnected && FLastError == 0 && !FCancelled && !FCountdown.FExpired) platform::SleepPumping(1);
  FCountdown.Stop();
  if (FLastError != 0) {
    const int error = FLastError;
    HangUp();
    throw ERASError(error, FLibrary);
  }
  if (FCancelled) throw ECanceledError();
  if (!FConnected) {
    // A dial given up on must not connect later behind the caller's back.
    HangUp();
    throw ETimedOutError();
  }
  if (FMinimizeAtConnect) MinimizeDialog();
}

void TagRas::HangUp() {
  if (!FLibrary.HangUp) return;
  if (!FEntries.empty() && FDialled) {
    FLibrary.HangUp(FHandle);
    if (OnDisconnected) OnDisconnected(*this);
  }
  FConnected = false;
  FHandle = kNoRasConnection;
}

void TagRas::Cancel() {
  HangUp();
  FCancelled = true;
}

std::string TagRas::StatusText(int state) const {
  const StatusRow* row = FindStatusRow(state);
  if (!row) return {};
  std::string text = FLibrary.LoadString ? FLibrary.LoadString(row->id).substr(0, kMaxText) : std::string();
  return text.empty() ? row->fallback : text;
}

void TagRas::MinimizeDialog() {
  platform::SleepPumping(1000);
  if (FLibrary.MinimizeDialog) FLibrary.MinimizeDialog();
}

intptr_t TagRas::WndProc(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  if (msg != WM_RASDIALEVENT) return 0;
  if (OnStatusChange) OnStatusChange(*this, StatusText(static_cast<int>(wparam & 0xFFFF)));
  if (!FConnected) FConnected = wparam == RASCS_Connected;
  if (lparam != 0) {
    FLastError = static_cast<int>(lparam);
    // A connection that fails later is told, not raised into whatever wait
    // happens to be pumping.
    if (FConnected) Show(ERASError(FLastError, FLibrary).what());
  }
  return 0;
}

}  // namespace vltg
