#pragma once
// The rules of the "TAP Port Settings" list on the general page: filling it
// from [Tap Ports], and adding, editing and deleting ports, each written to
// Config.Dat at once and followed by the restart prompt. The window runs the
// port dialog this makes and hands what it accepted back.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "manager/model/modem_lines.h"
#include "manager/model/page_host.h"
#include "manager/model/port_dialog_model.h"

namespace vltg::manager {

inline constexpr int kPortEnabledImage = 3;
inline constexpr int kPortDisabledImage = 2;
// An entry the gateway starts no port for: it can only be deleted.
inline constexpr int kPortNotStartedImage = 4;

struct TTapPortItem {
  std::string Caption;   // the port's name
  std::string DeviceID;  // "Direct" or the device identifier
  int StateIndex = kPortDisabledImage;
  std::string Key;  // the [Tap Ports] key it was listed from
  // Which line of that key: 0 the one reads see, 1 the next line of the same
  // key, and so on.
  std::size_t KeyRepeat = 0;

  bool operator==(const TTapPortItem&) const = default;
};

class TTapPortList {
 public:
  explicit TTapPortList(PageHost& host);

  const std::vector<TTapPortItem>& Items() const { return FItems; }

  // Lists every entry of [Tap Ports] that names a port, in file order; those
  // the gateway will not start get kPortNotStartedImage.
  void LoadPorts();
  // Add: the dialog for a new port; nothing when every slot is taken or the
  // lines cannot be listed (each said in a box). Then the port it accepted,
  // written into the lowest free slot (refused when none is left).
  std::optional<TPortDialogModel> AddDialog();
  void AddPort(const std::string& name, const TPortData& data);
  // Edit: the dialog for the item at that position (-1: none selected);
  // nothing when there is none or the lines cannot be listed. An entry the
  // gateway will not start is refused: its section may be another port's or
  // none. Then the port's section written from what the dialog accepted; the
  // name stays.
  std::optional<TPortDialogModel> EditDialog(int selected);
  void EditPort(int selected, const TPortData& data);
  // Delete the item at that position (-1: none selected). True when it was
  // removed: the list then has nothing selected, so that a second delete
  // cannot take the next port unasked.
  bool DeletePort(int selected);

  // The main window's line component: lists the lines for the dialog.
  TModemLines ModemLines;

 private:
  // The lines for the dialog, with the line application started anew; false
  // when listing them failed (shown in an error box).
  bool ListLines(std::vector<TModemLine>& lines);
  void RefuseAdd();
  std::vector<std::string> CaptionsBut(int except, bool started_only = false) const;
  TTapPortItem ItemOf(const std::string& name, const TPortData& data, std::string key,
                      std::size_t key_repeat = 0) const;

  PageHost& FHost;
  std::vector<TTapPortItem> FItems;
};

}  // namespace vltg::manager
