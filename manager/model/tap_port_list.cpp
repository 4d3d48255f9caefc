#include "manager/model/tap_port_list.h"

#include <algorithm>

#include "gateway/data_directory.h"
#include "gateway/tap_ports.h"
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

TTapPortList::TTapPortList(TVLSGSrvcMngr& manager) : FManager(manager) {}

TTapPortItem TTapPortList::ItemOf(const std::string& name, const TPortData& data, std::string key) const {
  return {name, DeviceIdText(data), data.Enabled ? kPortEnabledImage : kPortDisabledImage, std::move(key)};
}

std::vector<std::string> TTapPortList::CaptionsBut(int except) const {
  std::vector<std::string> captions;
  for (size_t i = 0; i < FItems.size(); ++i) {
    if (static_cast<int>(i) != except) captions.push_back(FItems[i].Caption);
  }
  return captions;
}

void TTapPortList::FormShow() {
  FItems.clear();
  const ProfileFile config = FManager.ConfigToLoad();
  std::vector<int32_t> listed;
  for (const int32_t number : TapPortNumbers(config.ReadSection(kTapPortsSection))) {
    // A key given twice names one port.
    if (std::find(listed.begin(), listed.end(), number) != listed.end()) continue;
    listed.push_back(number);
    std::string key = TapPortKey(number);
    const std::string name = config.ReadString(kTapPortsSection, key, "");
    if (!name.empty()) FItems.push_back(ItemOf(name, ReadPortData(config, name), std::move(key)));
  }
}

bool TTapPortList::ListLines(std::vector<TAlpaLine>& lines) {
  KYRAlpaPage1.InitializeLine();
  try {
    KYRAlpaPage1.GetLineNames(lines);
    return true;
  } catch (const Exception& e) {
    FManager.Sink().ShowBox(e.Message(), BoxKind::kError, BoxButtons::kOk);
    return false;
  }
}

void TTapPortList::BitBtn4Click() {
  const ProfileFile config = FManager.ConfigToLoad();
  const auto refuse = [this] {
    FManager.Sink().Beep();
    FManager.Sink().ShowBox("Only 16 Ports Allowed!", BoxKind::kInformation, BoxButtons::kOk);
  };
  if (FreeSlot(config) == 0) return refuse();
  std::vector<TAlpaLine> lines;
  if (!ListLines(lines)) return;
  TPortDataForm form(FManager, std::move(lines), CaptionsBut(-1), false);
  if (!ShowPortDialog || !ShowPortDialog(form)) return;
  // Taken again: the file may have changed while the dialog was open.
  const int32_t slot = FreeSlot(config);
  if (slot == 0) return refuse();
  const std::string key = TapPortKey(slot);
  const bool written = FManager.WriteConfig([&](ProfileFile& file) {
    file.WriteString(kTapPortsSection, key, form.ModemName);
    WritePortData(file, form.ModemName, form.Data);
  });
  if (!written) return;
  FItems.push_back(ItemOf(form.ModemName, form.Data, key));
  FManager.RestartPrompt();
}

void TTapPortList::ListView2DblClick(int selected) {
  if (selected < 0 || static_cast<size_t>(selected) >= FItems.size()) return;
  std::vector<TAlpaLine> lines;
  if (!ListLines(lines)) return;
  const std::string name = FItems[static_cast<size_t>(selected)].Caption;
  TPortDataForm form(FManager, std::move(lines), CaptionsBut(selected), true);
  form.ModemName = name;
  form.Data = ReadPortData(FManager.ConfigToLoad(), name);
  // A line no longer listed is no choice.
  form.SetModemIndex(form.ModemIndex());
  if (!ShowPortDialog || !ShowPortDialog(form)) return;
  if (!FManager.WriteConfig([&](ProfileFile& file) { WritePortData(file, name, form.Data); })) return;
  TTapPortItem& item = FItems[static_cast<size_t>(selected)];
  item = ItemOf(name, form.Data, item.Key);
  FManager.RestartPrompt();
}

void TTapPortList::BitBtn3Click(int selected) {
  if (selected < 0 || static_cast<size_t>(selected) >= FItems.size()) return;
  FManager.Sink().Beep();
  if (FManager.Sink().ShowBox("Delete Selected TAP Port?", BoxKind::kConfirmation, BoxButtons::kYesNo) !=
      BoxAnswer::kYes) {
    return;
  }
  const TTapPortItem item = FItems[static_cast<size_t>(selected)];
  const bool written = FManager.WriteConfig([&](ProfileFile& file) {
    file.WriteString(kTapPortsSection, item.Key, "");
    // A name the gateway would not serve may be another section's.
    if (IsUsablePortName(item.Caption)) file.EraseSection(item.Caption);
  });
  if (!written) return;
  FItems.erase(FItems.begin() + selected);
  FManager.RestartPrompt();
}

}  // namespace vltg::manager
