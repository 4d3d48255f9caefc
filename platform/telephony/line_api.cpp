#include "platform/telephony/line_api.h"

#include <algorithm>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "platform/base/ascii_text.h"
#include "platform/telephony/line_application.h"
#include "platform/telephony/modem_line.h"
#include "platform/telephony/tapi_constants.h"
#include "platform/telephony/telephony_ini.h"

namespace vltg::platform {
namespace {

constexpr char kProviderInfo[] = "Hayes modem on ";

struct Line {
  HLINE handle = 0;
  HLINEAPP app = 0;
  uint32_t device = 0;
  uint32_t instance = 0;
  uint32_t status_messages = 0;
  uint32_t rings = 0;
  std::unique_ptr<ModemLine> modem;
  HCALL active = 0;   // the call not yet IDLE
  bool dead = false;  // LINE_CLOSE given
};

struct Call {
  HLINE line;
  uint32_t state;
};

class Provider {
 public:
  static Provider& Get() {
    static Provider* provider = new Provider;  // line threads may outlive statics
    return *provider;
  }

  std::mutex mutex;
  std::vector<TelephonyLine> devices;
  bool loaded = false;
  std::filesystem::path loaded_from;
  // Configurations set by lineSetDevConfig, by line name and device.
  std::map<std::pair<std::string, std::string>, DeviceConfig> configs;
  std::map<HLINEAPP, std::shared_ptr<LineApplication>> apps;
  std::map<HLINE, std::shared_ptr<Line>> lines;
  std::map<HCALL, Call> calls;
  std::set<uint32_t> held;  // device identifiers open
  DevConfigDialog dialog;
  LineTestProvider test_provider;

  // The line list is read again whenever nothing uses it. Configurations set
  // belong to the machine root they were set under.
  void Refresh() {
    if (loaded && (!apps.empty() || !lines.empty())) return;
    const auto path = TelephonyIniPath();
    if (path != loaded_from) configs.clear();
    loaded = false;
    devices.clear();
    devices = LoadTelephonyLines();
    loaded = true;
    loaded_from = path;
  }
  uint32_t NewHandle() {
    if (++next_handle_ == 0) next_handle_ = 1;
    return next_handle_;
  }
  int32_t NewRequest() {
    if (next_request_ == std::numeric_limits<int32_t>::max()) next_request_ = 0;
    return ++next_request_;
  }
  const DeviceConfig& ConfigOf(uint32_t device) {
    const TelephonyLine& entry = devices[device];
    const auto it = configs.find({entry.name, entry.device});
    return it == configs.end() ? entry.config : it->second;
  }
  // What the device reports of itself (a test provider may change it).
  LineDeviceTraits TraitsOf(uint32_t device) {
    const TelephonyLine& entry = devices[device];
    LineDeviceTraits traits{TAPI_VERSION_1_4, TAPI_VERSION_2_0, {}};
    LINEDEVCAPS& caps = traits.caps;
    caps.ProviderInfo = kProviderInfo + entry.device + std::string(1, '\0');
    caps.LineName = entry.name + std::string(1, '\0');
    caps.dwStringFormat = STRINGFORMAT_ASCII;
    caps.dwPermanentLineID = device;
    caps.dwNumAddresses = 1;
    caps.dwMaxRate = ConfigOf(device).speed;
    caps.dwBearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_PASSTHROUGH;
    caps.dwMediaModes = LINEMEDIAMODE_DATAMODEM;
    caps.dwLineFeatures = LINEFEATURE_MAKECALL;
    if (test_provider) test_provider(device, traits);
    return traits;
  }
  std::shared_ptr<Line> FindLine(HLINE handle) {
    const auto it = lines.find(handle);
    return it == lines.end() || it->second->dead ? nullptr : it->second;
  }

  void Enqueue(const Line& line, LineNotification note) {
    const auto it = apps.find(line.app);
    if (it == apps.end()) return;
    note.line = line.handle;
    note.instance = line.instance;
    it->second->Queue(note);
  }
  void Purge(HLINE line, HCALL call) {
    for (auto& [handle, app] : apps) app->Purge(line, call);
  }

  void OnReport(HLINE handle, const HayesReport& report);
  void OnReply(HLINE handle, int32_t request, int32_t result);

 private:
  uint32_t next_handle_ = 0;
  int32_t next_request_ = 0;
};

void SetCallState(Provider& p, Line& line, uint32_t state, uint32_t mode, uint32_t privilege = 0) {
  if (!line.active) return;
  p.calls[line.active].state = state;
  p.Enqueue(line, {line.active, LINE_CALLSTATE, 0, state, mode, privilege, 0, line.active});
  if (state == LINECALLSTATE_IDLE) line.active = 0;
}

void Provider::OnReport(HLINE handle, const HayesReport& report) {
  std::lock_guard lock(mutex);
  const auto line = FindLine(handle);
  if (!line) return;  // closing: what it says now is purged anyway
  switch (report.event) {
    case HayesEvent::kOffering:
      line->active = NewHandle();
      calls[line->active] = {handle, LINECALLSTATE_OFFERING};
      SetCallState(*this, *line, LINECALLSTATE_OFFERING, LINEOFFERINGMODE_ACTIVE, LINECALLPRIVILEGE_OWNER);
      break;
    case HayesEvent::kRing:
      if (line->status_messages & LINEDEVSTATE_RINGING) {
        Enqueue(*line, {handle, LINE_LINEDEVSTATE, 0, LINEDEVSTATE_RINGING, 1, report.param, 0, 0});
      }
      break;
    case HayesEvent::kConnected: SetCallState(*this, *line, LINECALLSTATE_CONNECTED, 0); break;
    case HayesEvent::kDisconnected: SetCallState(*this, *line, LINECALLSTATE_DISCONNECTED, report.param); break;
    case HayesEvent::kIdle: SetCallState(*this, *line, LINECALLSTATE_IDLE, 0); break;
    case HayesEvent::kFailed:
      // The line is gone with its calls; only lineClose is left to do.
      line->dead = true;
      std::erase_if(calls, [&](const auto& entry) { return entry.second.line == handle; });
      line->active = 0;
      Enqueue(*line, {handle, LINE_CLOSE, 0, 0, 0, 0, 0, 0});
      break;
    default: break;
  }
}

void Provider::OnReply(HLINE handle, int32_t request, int32_t result) {
  std::lock_guard lock(mutex);
  const auto line = FindLine(handle);
  if (line) Enqueue(*line, {0, LINE_REPLY, 0, static_cast<uint32_t>(request), static_cast<uint32_t>(result), 0, 0, 0});
}

bool SupportedClass(const std::string& device_class) { return EqualsIgnoreCase(device_class, kDeviceClassDataModem); }

// Puts `bytes` into the record, or only the size it needs when it has no room.
int32_t FillVarString(VARSTRING* record, uint32_t format, const std::string& bytes) {
  if (record == nullptr) return LINEERR_INVALPOINTER;
  if (record->dwTotalSize < VARSTRING::kHeaderSize) return LINEERR_STRUCTURETOOSMALL;
  const uint32_t needed = VARSTRING::kHeaderSize + static_cast<uint32_t>(bytes.size());
  record->dwNeededSize = needed;
  record->dwStringFormat = format;
  if (record->dwTotalSize < needed) {
    record->dwUsedSize = VARSTRING::kHeaderSize;
    record->dwStringSize = 0;
    record->dwStringOffset = 0;
    record->String.clear();
    return 0;
  }
  record->dwUsedSize = needed;
  record->dwStringSize = static_cast<uint32_t>(bytes.size());
  record->dwStringOffset = VARSTRING::kHeaderSize;
  record->String = bytes;
  return 0;
}

bool VersionSupported(const LineDeviceTraits& traits, uint32_t version) {
  return version >= traits.low_version && version <= traits.high_version;
}

}  // namespace

int32_t lineInitialize(HLINEAPP* lphLineApp, LINECALLBACK lpfnCallback, const std::string& lpszAppName,
                       uint32_t* lpdwNumDevs) {
  (void)lpszAppName;  // shown nowhere: the lines have no user interface of their own
  if (lphLineApp == nullptr || lpdwNumDevs == nullptr || !lpfnCallback) return LINEERR_INVALPOINTER;
  auto app = LineApplication::Create(std::move(lpfnCallback));
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.Refresh();
  const HLINEAPP handle = p.NewHandle();
  p.apps[handle] = std::move(app);
  *lphLineApp = handle;
  *lpdwNumDevs = static_cast<uint32_t>(p.devices.size());
  return 0;
}

int32_t lineShutdown(HLINEAPP hLineApp) {
  Provider& p = Provider::Get();
  std::vector<HLINE> open;
  {
    std::lock_guard lock(p.mutex);
    if (!p.apps.count(hLineApp)) return LINEERR_INVALAPPHANDLE;
    for (const auto& [handle, line] : p.lines) {
      if (line->app == hLineApp) open.push_back(handle);
    }
  }
  for (HLINE line : open) lineClose(line);
  std::shared_ptr<LineApplication> app;
  {
    std::lock_guard lock(p.mutex);
    const auto it = p.apps.find(hLineApp);
    if (it == p.apps.end()) return LINEERR_INVALAPPHANDLE;
    app = std::move(it->second);
    p.apps.erase(it);
  }
  app->Close();
  return 0;
}

int32_t lineNegotiateAPIVersion(HLINEAPP hLineApp, uint32_t dwDeviceID, uint32_t dwAPILowVersion,
                                uint32_t dwAPIHighVersion, uint32_t* lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  if (!p.apps.count(hLineApp)) return LINEERR_INVALAPPHANDLE;
  if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
  if (lpdwAPIVersion == nullptr) return LINEERR_INVALPOINTER;
  const LineDeviceTraits traits = p.TraitsOf(dwDeviceID);
  const uint32_t high = std::min(dwAPIHighVersion, traits.high_version);
  if (dwAPILowVersion > dwAPIHighVersion || high < std::max(dwAPILowVersion, traits.low_version)) {
    return LINEERR_INCOMPATIBLEAPIVERSION;
  }
  *lpdwAPIVersion = high;
  if (lpExtensionID) *lpExtensionID = LINEEXTENSIONID{};
  return 0;
}

int32_t lineGetDevCaps(HLINEAPP hLineApp, uint32_t dwDeviceID, uint32_t dwAPIVersion, uint32_t dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  if (!p.apps.count(hLineApp)) return LINEERR_INVALAPPHANDLE;
  if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
  LineDeviceTraits traits = p.TraitsOf(dwDeviceID);
  if (!VersionSupported(traits, dwAPIVersion)) return LINEERR_INCOMPATIBLEAPIVERSION;
  if (dwExtVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
  if (lpLineDevCaps == nullptr) return LINEERR_INVALPOINTER;
  *lpLineDevCaps = std::move(traits.caps);
  return 0;
}

int32_t lineOpen(HLINEAPP hLineApp, uint32_t dwDeviceID, HLINE* lphLine, uint32_t dwAPIVersion,
                 uint32_t dwExtVersion, uint32_t dwCallbackInstance, uint32_t dwPrivileges, uint32_t dwMediaModes,
                 const void*) {
  Provider& p = Provider::Get();
  auto line = std::make_shared<Line>();
  {
    std::lock_guard lock(p.mutex);
    if (!p.apps.count(hLineApp)) return LINEERR_INVALAPPHANDLE;
    if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
    if (lphLine == nullptr) return LINEERR_INVALPOINTER;
    if (!VersionSupported(p.TraitsOf(dwDeviceID), dwAPIVersion)) return LINEERR_INCOMPATIBLEAPIVERSION;
    if (dwExtVersion != 0) return LINEERR_INCOMPATIBLEEXTVERSION;
    const uint32_t both = LINECALLPRIVILEGE_OWNER | LINECALLPRIVILEGE_MONITOR;
    if (dwPrivileges != LINECALLPRIVILEGE_NONE && (dwPrivileges & ~both) != 0) return LINEERR_INVALPRIVSELECT;
    if ((dwPrivileges & LINECALLPRIVILEGE_OWNER) &&
        (dwMediaModes == 0 || (dwMediaModes & ~LINEMEDIAMODE_DATAMODEM) != 0)) {
      return LINEERR_INVALMEDIAMODE;
    }
    const TelephonyLine& entry = p.devices[dwDeviceID];
    if (!entry.error.empty()) return LINEERR_INIFILECORRUPT;
    if (p.held.count(dwDeviceID)) return LINEERR_ALLOCATED;
    p.held.insert(dwDeviceID);
    line->handle = p.NewHandle();
    line->app = hLineApp;
    line->device = dwDeviceID;
    line->instance = dwCallbackInstance;
    line->modem = std::make_unique<ModemLine>(entry.device, p.ConfigOf(dwDeviceID));
    p.lines[line->handle] = line;
  }
  int32_t result = line->modem->Open();
  if (result == 0 && (dwPrivileges & LINECALLPRIVILEGE_OWNER)) {
    const HLINE handle = line->handle;
    result = line->modem->Start({[handle](const HayesReport& report) { Provider::Get().OnReport(handle, report); },
                                 [handle](int32_t request, int32_t reply) {
                                   Provider::Get().OnReply(handle, request, reply);
                                 }});
  }
  if (result != 0) {
    line->modem->Close();
    std::lock_guard lock(p.mutex);
    p.lines.erase(line->handle);
    p.held.erase(dwDeviceID);
    return result;
  }
  *lphLine = line->handle;
  return 0;
}

int32_t lineClose(HLINE hLine) {
  Provider& p = Provider::Get();
  std::shared_ptr<Line> line;
  {
    std::lock_guard lock(p.mutex);
    const auto it = p.lines.find(hLine);
    if (it == p.lines.end()) return LINEERR_INVALLINEHANDLE;
    line = it->second;
    p.lines.erase(it);  // from here on the line's reports are dropped
  }
  line->modem->Close();
  std::lock_guard lock(p.mutex);
  std::erase_if(p.calls, [&](const auto& entry) { return entry.second.line == hLine; });
  p.held.erase(line->device);
  p.Purge(hLine, 0);
  return 0;
}

int32_t lineSetNumRings(HLINE hLine, uint32_t dwAddressID, uint32_t dwNumRings) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  const auto line = p.FindLine(hLine);
  if (!line) return LINEERR_INVALLINEHANDLE;
  if (dwAddressID != 0) return LINEERR_INVALADDRESSID;
  line->rings = dwNumRings;
  return 0;
}

int32_t lineSetStatusMessages(HLINE hLine, uint32_t dwLineStates, uint32_t) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  const auto line = p.FindLine(hLine);
  if (!line) return LINEERR_INVALLINEHANDLE;
  line->status_messages = dwLineStates;
  return 0;
}

int32_t lineGetAddressStatus(HLINE hLine, uint32_t dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  const auto line = p.FindLine(hLine);
  if (!line) return LINEERR_INVALLINEHANDLE;
  if (dwAddressID != 0) return LINEERR_INVALADDRESSID;
  if (lpAddressStatus == nullptr) return LINEERR_INVALPOINTER;
  LINEADDRESSSTATUS status;
  if (line->active) {
    status.dwNumInUse = 1;
    status.dwNumActiveCalls = p.calls[line->active].state == LINECALLSTATE_CONNECTED ? 1 : 0;
  } else {
    status.dwAddressFeatures = LINEADDRFEATURE_MAKECALL;
  }
  *lpAddressStatus = status;
  return 0;
}

namespace {

// The call and its line, or the error for a call that cannot be acted on.
int32_t FindCall(Provider& p, HCALL hCall, Call*& call, std::shared_ptr<Line>& line) {
  const auto it = p.calls.find(hCall);
  if (it == p.calls.end()) return LINEERR_INVALCALLHANDLE;
  line = p.FindLine(it->second.line);
  if (!line) return LINEERR_INVALCALLHANDLE;
  call = &it->second;
  return 0;
}

}  // namespace

int32_t lineAnswer(HCALL hCall, const void*, uint32_t) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  Call* call;
  std::shared_ptr<Line> line;
  if (const int32_t error = FindCall(p, hCall, call, line)) return error;
  if (call->state != LINECALLSTATE_OFFERING) return LINEERR_INVALCALLSTATE;
  const int32_t request = p.NewRequest();
  line->modem->Answer(request);
  return request;
}

int32_t lineDrop(HCALL hCall, const void*, uint32_t) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  Call* call;
  std::shared_ptr<Line> line;
  if (const int32_t error = FindCall(p, hCall, call, line)) return error;
  if (call->state == LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  const int32_t request = p.NewRequest();
  line->modem->Drop(request);
  return request;
}

int32_t lineDeallocateCall(HCALL hCall) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  const auto it = p.calls.find(hCall);
  if (it == p.calls.end()) return LINEERR_INVALCALLHANDLE;
  if (it->second.state != LINECALLSTATE_IDLE) return LINEERR_INVALCALLSTATE;
  p.calls.erase(it);
  p.Purge(0, hCall);
  return 0;
}

int32_t lineGetID(HLINE hLine, uint32_t dwAddressID, HCALL hCall, uint32_t dwSelect, VARSTRING* lpDeviceID,
                  const std::string& lpszDeviceClass) {
  (void)hLine, (void)dwAddressID;  // the call selects both
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  if (dwSelect != LINECALLSELECT_CALL) {
    if (dwSelect == LINECALLSELECT_LINE || dwSelect == LINECALLSELECT_ADDRESS) return LINEERR_OPERATIONUNAVAIL;
    return LINEERR_INVALCALLSELECT;
  }
  if (!SupportedClass(lpszDeviceClass)) return LINEERR_INVALDEVICECLASS;
  Call* call;
  std::shared_ptr<Line> line;
  if (const int32_t error = FindCall(p, hCall, call, line)) return error;
  if (call->state != LINECALLSTATE_CONNECTED) return LINEERR_INVALCALLSTATE;
  if (lpDeviceID == nullptr) return LINEERR_INVALPOINTER;
  if (lpDeviceID->dwTotalSize < VARSTRING::kHeaderSize) return LINEERR_STRUCTURETOOSMALL;

  const std::string& path = line->modem->DevicePath();
  std::string part(4, '\0');
  part += path;
  part.push_back('\0');
  if (lpDeviceID->dwTotalSize < VARSTRING::kHeaderSize + part.size()) {
    return FillVarString(lpDeviceID, STRINGFORMAT_BINARY, part);  // the size it needs, no descriptor
  }
  const int fd = line->modem->DuplicateHandle();
  if (fd < 0) return LINEERR_OPERATIONFAILED;
  for (int i = 0; i < 4; ++i) part[i] = static_cast<char>((static_cast<uint32_t>(fd) >> (8 * i)) & 0xFF);
  return FillVarString(lpDeviceID, STRINGFORMAT_BINARY, part);
}

int32_t lineGetDevConfig(uint32_t dwDeviceID, VARSTRING* lpDeviceConfig, const std::string& lpszDeviceClass) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.Refresh();
  if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
  if (!SupportedClass(lpszDeviceClass)) return LINEERR_INVALDEVICECLASS;
  if (!p.devices[dwDeviceID].error.empty()) return LINEERR_INIFILECORRUPT;
  return FillVarString(lpDeviceConfig, STRINGFORMAT_BINARY, EncodeDeviceConfig(p.ConfigOf(dwDeviceID)));
}

int32_t lineSetDevConfig(uint32_t dwDeviceID, const void* lpDeviceConfig, uint32_t dwSize,
                         const std::string& lpszDeviceClass) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.Refresh();
  if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
  if (!SupportedClass(lpszDeviceClass)) return LINEERR_INVALDEVICECLASS;
  if (lpDeviceConfig == nullptr && dwSize != 0) return LINEERR_INVALPOINTER;
  const TelephonyLine& entry = p.devices[dwDeviceID];
  if (!entry.error.empty()) return LINEERR_INIFILECORRUPT;
  const auto config = DecodeDeviceConfig(std::string_view(static_cast<const char*>(lpDeviceConfig), dwSize));
  if (!config) return LINEERR_INVALPARAM;
  p.configs[{entry.name, entry.device}] = *config;
  return 0;
}

std::string LineUnusableReason(uint32_t dwDeviceID) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.Refresh();
  return dwDeviceID < p.devices.size() ? p.devices[dwDeviceID].error : std::string();
}

int32_t lineConfigDialogEdit(uint32_t dwDeviceID, void* hwndOwner, const std::string& lpszDeviceClass,
                             const void* lpDeviceConfigIn, uint32_t dwSize, VARSTRING* lpDeviceConfigOut) {
  Provider& p = Provider::Get();
  DeviceConfig config;
  DevConfigDialog dialog;
  std::string name;
  {
    std::lock_guard lock(p.mutex);
    p.Refresh();
    if (dwDeviceID >= p.devices.size()) return LINEERR_BADDEVICEID;
    if (!SupportedClass(lpszDeviceClass)) return LINEERR_INVALDEVICECLASS;
    if (lpDeviceConfigOut == nullptr || (lpDeviceConfigIn == nullptr && dwSize != 0)) return LINEERR_INVALPOINTER;
    if (lpDeviceConfigOut->dwTotalSize < VARSTRING::kHeaderSize) return LINEERR_STRUCTURETOOSMALL;
    if (!p.devices[dwDeviceID].error.empty()) return LINEERR_INIFILECORRUPT;
    if (dwSize == 0) {
      config = p.ConfigOf(dwDeviceID);
    } else {
      const auto given = DecodeDeviceConfig(std::string_view(static_cast<const char*>(lpDeviceConfigIn), dwSize));
      if (!given) return LINEERR_INVALPARAM;
      config = *given;
    }
    if (!p.dialog) return LINEERR_OPERATIONUNAVAIL;
    dialog = p.dialog;
    name = p.devices[dwDeviceID].name;
  }
  // The dialog is modal and may pump: no lock while it runs.
  if (!dialog(hwndOwner, name, config)) return LINEERR_OPERATIONFAILED;
  if (!CheckDeviceConfig(config).empty()) return LINEERR_INVALPARAM;
  return FillVarString(lpDeviceConfigOut, STRINGFORMAT_BINARY, EncodeDeviceConfig(config));
}

void SetDevConfigDialog(DevConfigDialog dialog) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.dialog = std::move(dialog);
}

void SetLineTestProvider(LineTestProvider provider) {
  Provider& p = Provider::Get();
  std::lock_guard lock(p.mutex);
  p.test_provider = std::move(provider);
}

}  // namespace vltg::platform
