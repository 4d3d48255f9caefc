#include "manager/model/port_dialog_model.h"

#include <algorithm>
#include <utility>

#include "datafiles/data_directory.h"
#include "datafiles/tap_ports.h"
#include "platform/base/ascii_text.h"

namespace vltg::manager {

TPortDialogModel::TPortDialogModel(PageHost& host, std::vector<TModemLine> lines, std::vector<std::string> other_ports,
                                   bool editing)
    : FHost(host),
      FSink(&host.Sink()),
      FLines(std::move(lines)),
      FOtherPorts(std::move(other_ports)),
      FEditing(editing) {}

int32_t TPortDialogModel::ModemIndex() const {
  const int32_t device = Data.Number("Modem");
  const auto line = std::find_if(FLines.begin(), FLines.end(), [&](const TModemLine& l) {
    return device >= 0 && l.DeviceId == static_cast<uint32_t>(device);
  });
  return line == FLines.end() ? -1 : static_cast<int32_t>(line - FLines.begin());
}

void TPortDialogModel::SetModemIndex(int32_t index) {
  const bool listed = index >= 0 && static_cast<size_t>(index) < FLines.size();
  Data.SetNumber("Modem", listed ? static_cast<int32_t>(FLines[static_cast<size_t>(index)].DeviceId) : kNoModem);
}

void TPortDialogModel::Refuse(const char* text, const char* control) {
  FSink->Beep();
  FSink->ShowBox(text, BoxKind::kWarning, BoxButtons::kOk);
  FSink->Focus(control);
}

bool TPortDialogModel::CheckName(const char* empty_text, bool for_file) {
  ModemName = std::string(platform::TrimBlanks(ModemName));
  if (ModemName.empty()) {
    Refuse(empty_text, "ModemName");
    return false;
  }
  const bool clash = std::any_of(FOtherPorts.begin(), FOtherPorts.end(), [&](const std::string& other) {
    return platform::EqualsIgnoreCase(other, ModemName);
  });
  if (clash) {
    Refuse("Modem Name Already In Use!", "ModemName");
    return false;
  }
  // It names a section and a file of the data directory. A port listed with
  // a longer name stays editable; only its modem settings cannot be saved.
  if (!IsUsablePortName(ModemName) || (for_file && !CanHaveModemConfigFile(ModemName))) {
    Refuse("Invalid Port Name!", "ModemName");
    return false;
  }
  return true;
}

bool TPortDialogModel::Accept() {
  if (!CheckName("No Name Specified!", !FEditing)) return false;
  if (ModemIndex() < 0 && !Data.Checked("DirectAccess")) {
    Refuse("No Modem Specified!", "Modem");
    return false;
  }
  return true;
}

void TPortDialogModel::EditModemSettings() {
  if (ModemIndex() < 0) {
    Refuse("Must Select a Modem First!", "Modem");
    return;
  }
  if (!CheckName("Must Select a Name First!", true)) return;
  TModemLines line;
  line.SetParentForm(Owner);
  bool cancelled = false;
  std::string reason;
  if (!line.EditModemConfig(FHost.FilePath(ModemConfigFileName(ModemName)), static_cast<uint32_t>(Data.Number("Modem")),
                            &cancelled, &reason) &&
      !cancelled) {
    FSink->Beep();
    // The reason, where one is known, on the line below.
    FSink->ShowBox("Unable To Save Modem Config Settings!" + (reason.empty() ? "" : "\n" + reason), BoxKind::kError,
                   BoxButtons::kOk);
  }
}

void TPortDialogModel::ShowPageHelp(int page) { ShowHelp(page == 0 ? kGeneralDetailsHelp : kDirectAccessHelp); }

void TPortDialogModel::ShowHelp(int context) { FHost.ShowHelp(context); }

}  // namespace vltg::manager
