#pragma once
// The manager's telephony line component: lists the lines that carry data
// calls and has a line's modem settings edited in the line provider's own
// dialog, stored as a TAP port's modem configuration file (*.mcf, the form the
// gateway reads: modem_config_file.h).
//
// The manager never opens a line or places a call with it: it only holds a
// line application open (with an entry of its own 17-entry line table) to
// list the lines. EditModemConfig needs no line application.
#include <cstdint>
#include <string>
#include <vector>

#include "engines/line_table.h"
#include "platform/telephony/line_api.h"

namespace vltg::manager {

// A listed line: its name and its device identifier, which is what a port
// stores and what its modem configuration is edited for.
struct TAlpaLine {
  std::string Name;
  uint32_t DeviceId = 0;
  bool operator==(const TAlpaLine&) const = default;
};

class TKYRAlpaPage;
using TAlpaLineTable = TLineTable<TKYRAlpaPage>;

class TKYRAlpaPage {
 public:
  TKYRAlpaPage() = default;
  // Shuts the line application down and gives the entry back; nothing escapes.
  ~TKYRAlpaPage();
  TKYRAlpaPage(const TKYRAlpaPage&) = delete;
  TKYRAlpaPage& operator=(const TKYRAlpaPage&) = delete;

  int32_t GetLineInstance() const { return FLineInstance; }
  void SetLineInstance(int32_t Value) { FLineInstance = Value; }
  bool GetDeviceDirectAccess() const { return FDeviceDirectAccess; }
  void SetDeviceDirectAccess(bool Value) { FDeviceDirectAccess = Value; }
  // The window the provider's dialog is modal to.
  void* GetParentForm() const { return FParentForm; }
  void SetParentForm(void* Form) { FParentForm = Form; }

  // Starts (or restarts) the line application on the entry of LineInstance;
  // false, with nothing shown, when that cannot be: direct access, an entry
  // out of range or held by another component, or a failing start.
  bool InitializeLine();
  // The data-modem lines in device order: "Line Unavailable" for a line whose
  // interface version does not fit; lines without data-modem support and
  // blank names are left out. False, with Strings untouched, until the line
  // application runs; a failing capabilities query raises its line error
  // text (Strings then holds the lines before it).
  bool GetLineNames(std::vector<TAlpaLine>& Strings);
  // The name a line's capabilities give it: its ASCII name up to the first
  // NUL, "Line Name is Empty" when that is empty, "Line Unnamed" without one.
  static std::string GetLineName(const platform::LINEDEVCAPS& Caps);
  // The name to list for a line's capabilities; empty (not listed) for a line
  // without data-modem support.
  static std::string DataModemLineName(const platform::LINEDEVCAPS& Caps);
  // The version in 1.4 to 2.0 the line supports, 0 when none; any other
  // failure raises its line error text.
  uint32_t NegotiateAPIVersion(uint32_t DeviceId);
  // Shows the provider's dialog for the line, starting from the file at Path
  // (or, when there is none, or its sizes do not fit it, or its block is not
  // the provider's, from the line's current configuration), and replaces the
  // file with the result. False when the file cannot be read or written, the
  // line cannot be queried, or the dialog fails or is cancelled (then
  // *Cancelled is set, and nothing is written in any case of false). *Reason
  // gets why, where it is known: the file's error, or why the provider
  // cannot use the line (its telephony.ini entry).
  bool EditModemConfig(const std::string& Path, uint32_t DeviceId, bool* Cancelled = nullptr,
                       std::string* Reason = nullptr);

  // What the line table's handler of this component's entry receives. The
  // manager opens no line, so nothing it is told asks for an action.
  void LineCallback(uint32_t hDevice, uint32_t dwMessage, uint32_t dwParam1, uint32_t dwParam2);

 private:
  void ShutdownLineApp();

  int32_t FLineInstance = 0;
  bool FDeviceDirectAccess = false;
  void* FParentForm = nullptr;

  bool FInitialized = false;
  int32_t FClaimedInstance = -1;
  platform::HLINEAPP FLineApp = 0;
  uint32_t FNumDevs = 0;
};

}  // namespace vltg::manager
