#include "manager/model/tap_port_list.h"

#include <algorithm>

#include "datafiles/data_directory.h"
#include "datafiles/tap_ports.h"
#include "platform/base/ascii_text.h"
#include "platform/base/exception.h"

namespace vltg::manager {
namespace {

using platform::ProfileFile;

// The number of the port a new one takes: the lowest whose key is missing or
// empty and that the gateway will start once the key is written; 0 when
// there is none.
int32_t FreeSlot(const ProfileFile& config) {
  const std::vector<std::string> keys = config.ReadSection(kTapPortsSection);
  for (int32_t number = 1; number <= kMaxTapPorts; ++number) {
    const std::string key = TapPortKey(number);
    if (!config.ReadString(kTapPortsSection, key, "").empty()) continue;
    std::vector<std::string> written = keys;
    if (std::none_of(keys.begin(), keys.end(),
                     [&](const std::string& k) { return platform::EqualsIgnoreCase(k, key); })) {
      written.push_back(key);
    }
    const std::vector<int32_t> started = TapPortNumbers(written);
    if (std::find(started.begin(), started.end(), number) != started.end()) return number;
  }
  return 0;
}

}  // namespace

TTapPortList::TTapPortList(PageHost& host) : FHost(host) {
  // The line component as the main window's form describes it.
  ModemLines.SetComPort(pnaCOM1);
  ModemLines.SetDevIdToInitialize(0);
  ModemLines.SetShowDialDialog(true);
  ModemLines.SetShowErrorDialogs(true);
  ModemLines.SetMessageSink(&host.Sink());
  // At start, before its line application runs: lists nothing.
  std::vector<TModemLine> lines;
  ModemLines.GetLineNames(lines);
}

TTapPortItem TTapPortList::ItemOf(const std::string& name, const TPortData& data, std::string key,
                                  std::size_t key_repeat) const {
  return {name, DeviceIdText(data), data.Checked("Enabled") ? kPortEnabledImage : kPortDisabledImage, std::move(key),
          key_repeat};
}

std::vector<std::string> TTapPortList::CaptionsBut(int except, bool started_only) const {
  std::vector<std::string> captions;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (started_only && FItems[i].StateIndex == kPortNotStartedImage) continue;
    if (static_cast<int>(i) != except) captions.push_back(FItems[i].Caption);
  }
  return captions;
}

void TTapPortList::LoadPorts() {
  FItems.clear();
  const ProfileFile config = FHost.ConfigToLoad();
  const std::vector<platform::ProfileEntry> entries = config.ReadSectionValues(kTapPortsSection);
  std::vector<std::string> keys;
  for (const platform::ProfileEntry& entry : entries) keys.push_back(entry.name);
  const std::vector<bool> read = TapPortEntriesRead(keys);
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string& name = entries[i].value;
    if (name.empty()) continue;  // a free slot
    const auto same_key = [&](const std::string& key) { return platform::EqualsIgnoreCase(key, keys[i]); };
    const auto repeat =
        static_cast<size_t>(std::count_if(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(i), same_key));
    TTapPortItem item = ItemOf(name, ReadPortData(config, name), keys[i], repeat);
    if (!read[i] || !IsUsablePortName(name)) item.StateIndex = kPortNotStartedImage;
    FItems.push_back(std::move(item));
  }
}

bool TTapPortList::ListLines(std::vector<TModemLine>& lines) {
  ModemLines.InitializeLine();
  try {
    ModemLines.GetLineNames(lines);
    return true;
  } catch (const Exception& e) {
    FHost.Sink().ShowBox(e.Message(), BoxKind::kError, BoxButtons::kOk);
    return false;
  }
}

void TTapPortList::RefuseAdd() {
  FHost.Sink().Beep();
  FHost.Sink().ShowBox("Only 16 Ports Allowed!", BoxKind::kInformation, BoxButtons::kOk);
}

std::optional<TPortDialogModel> TTapPortList::AddDialog() {
  if (FreeSlot(FHost.ConfigToLoad()) == 0) {
    RefuseAdd();
    return std::nullopt;
  }
  std::vector<TModemLine> lines;
  if (!ListLines(lines)) return std::nullopt;
  return TPortDialogModel(FHost, std::move(lines), CaptionsBut(-1), false);
}

void TTapPortList::AddPort(const std::string& name, const TPortData& data) {
  // Taken again: the file may have changed while the dialog was open.
  const int32_t slot = FreeSlot(FHost.ConfigToLoad());
  if (slot == 0) return RefuseAdd();
  const std::string key = TapPortKey(slot);
  const bool written = FHost.WriteConfig([&](ProfileFile& file) {
    file.WriteString(kTapPortsSection, key, name);
    WritePortData(file, name, data);
  });
  if (!written) return;
  FItems.push_back(ItemOf(name, data, key));
  FHost.RestartPrompt();
}

std::optional<TPortDialogModel> TTapPortList::EditDialog(int selected) {
  if (selected < 0 || static_cast<size_t>(selected) >= FItems.size()) return std::nullopt;
  if (FItems[static_cast<size_t>(selected)].StateIndex == kPortNotStartedImage) {
    FHost.Sink().Beep();
    FHost.Sink().ShowBox("Port Not Started By The Gateway! It Can Only Be Deleted.", BoxKind::kWarning,
                         BoxButtons::kOk);
    return std::nullopt;
  }
  std::vector<TModemLine> lines;
  if (!ListLines(lines)) return std::nullopt;
  const std::string& name = FItems[static_cast<size_t>(selected)].Caption;
  // Entries the gateway does not start are no clash: the section is this port's.
  TPortDialogModel dialog(FHost, std::move(lines), CaptionsBut(selected, true), true);
  dialog.ModemName = name;
  dialog.Data = ReadPortData(FHost.ConfigToLoad(), name);
  // A line no longer listed is no choice.
  dialog.SetModemIndex(dialog.ModemIndex());
  return dialog;
}

void TTapPortList::EditPort(int selected, const TPortData& data) {
  if (selected < 0 || static_cast<size_t>(selected) >= FItems.size()) return;
  TTapPortItem& item = FItems[static_cast<size_t>(selected)];
  if (item.StateIndex == kPortNotStartedImage) return;
  const std::string name = item.Caption;
  if (!FHost.WriteConfig([&](ProfileFile& file) { WritePortData(file, name, data); })) return;
  item = ItemOf(name, data, item.Key);
  FHost.RestartPrompt();
}

bool TTapPortList::DeletePort(int selected) {
  if (selected < 0 || static_cast<size_t>(selected) >= FItems.size()) return false;
  FHost.Sink().Beep();
  if (FHost.Sink().ShowBox("Delete Selected TAP Port?", BoxKind::kConfirmation, BoxButtons::kYesNo) !=
      BoxAnswer::kYes) {
    return false;
  }
  const TTapPortItem item = FItems[static_cast<size_t>(selected)];
  const std::vector<std::string> others = CaptionsBut(selected);
  // A name the gateway would not serve may be another section's, and one that
  // another entry names keeps its section for that entry.
  const bool own_section =
      IsUsablePortName(item.Caption) && std::none_of(others.begin(), others.end(), [&](const std::string& other) {
        return platform::EqualsIgnoreCase(other, item.Caption);
      });
  const bool written = FHost.WriteConfig([&](ProfileFile& file) {
    file.WriteNthString(kTapPortsSection, item.Key, item.KeyRepeat, "");
    if (own_section) file.EraseSection(item.Caption);
  });
  if (!written) return false;
  FItems.erase(FItems.begin() + selected);
  FHost.RestartPrompt();
  return true;
}

}  // namespace vltg::manager
