#pragma once
// The rules of the "TAP Port Settings" list on the general page: filling it
// from [Tap Ports], and adding, editing and deleting ports through the port
// dialog, each written to Config.Dat at once and followed by the restart
// prompt.
#include <functional>
#include <string>
#include <vector>

#include "manager/model/kyr_alpa_page.h"
#include "manager/model/port_data_form.h"
#include "manager/model/service_manager.h"

namespace vltg::manager {

inline constexpr int kPortEnabledImage = 3;
inline constexpr int kPortDisabledImage = 2;

struct TTapPortItem {
  std::string Caption;   // the port's name
  std::string DeviceID;  // "Direct" or the device identifier
  int StateIndex = kPortDisabledImage;
  std::string Key;  // the [Tap Ports] key it was listed from

  bool operator==(const TTapPortItem&) const = default;
};

class TTapPortList {
 public:
  explicit TTapPortList(TVLSGSrvcMngr& manager);

  const std::vector<TTapPortItem>& Items() const { return FItems; }
  // Shows the port dialog modally; true when it closed with OK.
  std::function<bool(TPortDataForm& form)> ShowPortDialog;

  // Lists the ports the gateway serves, in its order.
  void FormShow();
  // Add.
  void BitBtn4Click();
  // Edit the item at that position (-1: none selected).
  void ListView2DblClick(int selected);
  // Delete the item at that position (-1: none selected).
  void BitBtn3Click(int selected);

  // The main window's line component: lists the lines for the dialog.
  TKYRAlpaPage KYRAlpaPage1;

 private:
  // The lines for the dialog, with the line application started anew; false
  // when listing them failed (shown in an error box).
  bool ListLines(std::vector<TAlpaLine>& lines);
  std::vector<std::string> CaptionsBut(int except) const;
  TTapPortItem ItemOf(const std::string& name, const TPortData& data, std::string key) const;

  TVLSGSrvcMngr& FManager;
  std::vector<TTapPortItem> FItems;
};

}  // namespace vltg::manager
