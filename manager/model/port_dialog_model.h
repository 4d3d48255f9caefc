#pragma once
// The rules of the "TAP Modem Data" dialog: what OK accepts, the modem
// settings button and the help button. The dialog is made for one add or one
// edit; its window maps the controls onto Data, ModemName and the Modem
// position.
#include <cstdint>
#include <string>
#include <vector>

#include "manager/model/message_sink.h"
#include "manager/model/modem_lines.h"
#include "manager/model/page_host.h"
#include "manager/model/port_data.h"

namespace vltg::manager {

inline constexpr int kPortDialogHelp = 15;
inline constexpr int kGeneralDetailsHelp = 20;
inline constexpr int kDirectAccessHelp = 21;

class TPortDialogModel {
 public:
  // `lines` fills the Modem list; `other_ports` are the names of the ports
  // listed beside this one. When editing, the name is the port's and stays.
  TPortDialogModel(PageHost& host, std::vector<TModemLine> lines, std::vector<std::string> other_ports, bool editing);

  // Boxes and focus go here; the host's sink unless the window sets its own.
  void SetSink(MessageSink& sink) { FSink = &sink; }
  // The window the provider's modem dialog is modal to (a QWidget*).
  void* Owner = nullptr;

  std::string ModemName;
  TPortData Data;

  const std::vector<TModemLine>& Lines() const { return FLines; }
  bool Editing() const { return FEditing; }
  // The position of the port's device identifier in the Modem list; -1 when
  // it is not there.
  int32_t ModemIndex() const;
  // Chooses the line at that position (-1 or a position outside: none).
  void SetModemIndex(int32_t index);

  // True when the dialog may close with OK: a usable name, not another
  // port's, and a modem chosen or direct access on. Otherwise a warning box
  // and the focus on the field at fault. The name is taken trimmed. A new
  // port's name must also leave room for its modem configuration file.
  bool Accept();
  // Writes the port's modem configuration file at once from the provider's
  // dialog for the chosen line.
  void EditModemSettings();
  // Help for the page shown: 0 "General Details", 1 "Direct Access Port Settings".
  void ShowPageHelp(int page);
  // F1: the help of that context.
  void ShowHelp(int context);

 private:
  // The name's checks after the empty one, whose text the caller gives;
  // `for_file`: the name must be able to name a modem configuration file.
  bool CheckName(const char* empty_text, bool for_file);
  void Refuse(const char* text, const char* control);

  PageHost& FHost;
  MessageSink* FSink;
  std::vector<TModemLine> FLines;
  std::vector<std::string> FOtherPorts;
  bool FEditing;
};

}  // namespace vltg::manager
