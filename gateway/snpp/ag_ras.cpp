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

TagRas::TagRas(RasLibrary library) : library_(std::move(library)) {
  countdown_.FStartValue = 120;
  window_ = std::make_unique<platform::MessageTarget>(
      [this](uint32_t msg, uintptr_t wparam, intptr_t lparam) { return WndProc(msg, wparam, lparam); });
  RefreshEntries();
}

TagRas::~TagRas() {
  for (TSock* sock : holders_) sock->ras_ = nullptr;
}

void TagRas::Show(const std::string& text) const {
  if (ShowMessage) ShowMessage(text);
}

void TagRas::Check(int result) {
  last_error_ = result;
  if (result != 0) throw ERASError(result, library_);
}

void TagRas::SetService(const std::string& value) {
  if (value.empty()) {
    service_.clear();
    return;
  }
  if (entries_.empty()) {
    Show("TagRas component was unable to detect\rRAS on your system.");
    return;
  }
  if (connected_) {
    Show("This property can be set only before\restablishing the connection");
    return;
  }
  RefreshEntries();
  if (std::find(entries_.begin(), entries_.end(), value) == entries_.end()) {
    Show("Invalid service name");
    service_.clear();
    return;
  }
  service_ = value;
}

std::vector<std::string> TagRas::RefreshEntries() {
  entries_.clear();
  if (!library_.EnumEntries) return entries_;
  std::vector<std::string> names;
  last_error_ = library_.EnumEntries(kEntryRoom, names);
  if (last_error_ == 0) {
    if (names.size() > kEntryRoom) names.resize(kEntryRoom);
    for (const auto& name : names) entries_.push_back(name.substr(0, kMaxEntryName));
  }
  return entries_;
}

bool TagRas::FindConnection() {
  if (!library_.EnumConnections) return false;
  std::vector<RasConnection> connections;
  Check(library_.EnumConnections(kConnectionRoom, connections));
  if (connections.size() > kConnectionRoom) connections.resize(kConnectionRoom);
  for (const auto& connection : connections) {
    if (connection.entry_name == service_ || connection.handle == handle_) {
      handle_ = connection.handle;
      return true;
    }
  }
  if (force_service_ || !library_.GetProjectionIp) return false;
  for (const auto& connection : connections) {
    std::string ip_address;
    Check(library_.GetProjectionIp(connection.handle, ip_address));
    if (!ip_address.empty()) {
      handle_ = connection.handle;
      return true;
    }
  }
  return false;
}

void TagRas::Dial() {
  if (FindConnection() || service_.empty()) {
    connected_ = true;
    dialled_ = false;
    return;
  }
  if (!library_.GetEntryDialParams || !library_.SetEntryDialParams || !library_.Dial) return;
  dialled_ = true;
  handle_ = kNoRasConnection;
  connected_ = false;
  cancelled_ = false;
  countdown_.FExpired = false;

  RasDialParams params;
  params.entry_name = service_;
  bool password_saved = false;
  Check(library_.GetEntryDialParams(params, password_saved));
  if (!password_saved) {
    params.password = password_;
    Check(library_.SetEntryDialParams(params, remove_password_));
  }
  last_error_ = library_.Dial(params, window_->Ref(), WM_RASDIALEVENT, handle_);
  if (last_error_ != 0) {
    const int error = last_error_;
    HangUp();
    throw ERASError(error, library_);
  }

  countdown_.Start();
  while (!connected_ && last_error_ == 0 && !cancelled_ && !countdown_.FExpired) platform::SleepPumping(1);
  countdown_.Stop();
  if (last_error_ != 0) {
    const int error = last_error_;
    HangUp();
    throw ERASError(error, library_);
  }
  if (cancelled_) throw ECanceledError();
  if (!connected_) {
    // A dial given up on must not connect later behind the caller's back.
    HangUp();
    throw ETimedOutError();
  }
  if (minimize_at_connect_) MinimizeDialog();
}

void TagRas::HangUp() {
  if (!library_.HangUp) return;
  if (!entries_.empty() && dialled_) {
    library_.HangUp(handle_);
    if (OnDisconnected) OnDisconnected(*this);
  }
  connected_ = false;
  handle_ = kNoRasConnection;
}

void TagRas::Cancel() {
  HangUp();
  cancelled_ = true;
}

std::string TagRas::StatusText(int state) const {
  const StatusRow* row = FindStatusRow(state);
  if (!row) return {};
  std::string text = library_.LoadString ? library_.LoadString(row->id).substr(0, kMaxText) : std::string();
  return text.empty() ? row->fallback : text;
}

void TagRas::MinimizeDialog() {
  platform::SleepPumping(1000);
  if (library_.MinimizeDialog) library_.MinimizeDialog();
}

intptr_t TagRas::WndProc(uint32_t msg, uintptr_t wparam, intptr_t lparam) {
  if (msg != WM_RASDIALEVENT) return 0;
  if (OnStatusChange) OnStatusChange(*this, StatusText(static_cast<int>(wparam & 0xFFFF)));
  if (!connected_) connected_ = wparam == RASCS_Connected;
  if (lparam != 0) {
    last_error_ = static_cast<int>(lparam);
    // A connection that fails later is told, not raised into whatever wait
    // happens to be pumping.
    if (connected_) Show(ERASError(last_error_, library_).what());
  }
  return 0;
}

}  // namespace vltg
