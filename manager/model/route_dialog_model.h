#pragma once
// The rules of the "Routing Data" dialog: one route's fields, the labels that
// follow the chosen transport, and the checks of its OK button.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "datafiles/route_table.h"
#include "manager/model/message_sink.h"

namespace vltg::manager {

// The "Route Type:" list, in its order.
inline constexpr std::array<std::string_view, 3> kRouteTypes{kTransportSnpp, kTransportTnpp, kTransportWctp};

inline constexpr int kRouteDialogHelp = 60;

// A field at fault: the warning's text and the control to focus.
struct RouteFault {
  std::string text;
  std::string_view control;
};

// Why a route text cannot be stored (empty, a comma or a line break in it).
std::optional<RouteFault> CheckRouteText(std::string_view route);

// Shows the fault the dialog's way: a warning box without a beep, then the
// focus on the field.
void ShowRouteFault(MessageSink& sink, const RouteFault& fault);

class TRouteDialogModel {
 public:
  std::string Route;
  int TransportIndex = 0;  // position in kRouteTypes: "SNPP" when the dialog is made
  std::string Destination;
  std::string Port = "444";
  std::string DestinationLabel = "&Server:";
  std::string PortLabel = "&Port:";

  // The chosen transport's text.
  std::string_view Transport() const;
  // Selects the transport of that word; "SNPP" for a word that is none of the three.
  void SelectTransport(std::string_view word);
  // Relabels the two fields for the chosen transport.
  void Relabel();
  // OK: true closes the dialog; otherwise the first field at fault is shown
  // on `sink` (the dialog's) and the dialog stays open.
  bool Accept(MessageSink& sink) const;
  std::optional<RouteFault> Check() const;

  // The route the fields make.
  RouteLine Line() const;
};

}  // namespace vltg::manager
