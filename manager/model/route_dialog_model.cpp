#include "manager/model/route_dialog_model.h"

#include <algorithm>

#include "platform/profile/profile_integer.h"

namespace vltg::manager {

namespace {

// How the dialog names its two fields for each transport of kRouteTypes.
struct FieldNames {
  std::string_view destination;
  std::string_view port;
};
constexpr std::array<FieldNames, 3> kFieldNames{{
    {"SNPP Server", "SNPP Port"},
    {"Destination", "Inertia"},
    {"WCTP Server", "WCTP Port"},
}};

// What a TNPP packet header carries: a 16-bit destination, an 8-bit inertia.
constexpr std::int32_t kMaxTnppDestination = 0xFFFF;
constexpr std::int32_t kMaxTnppInertia = 0xFF;

bool HasLineBreak(std::string_view text) { return text.find_first_of("\r\n") != std::string_view::npos; }
bool HasComma(std::string_view text) { return text.find(',') != std::string_view::npos; }

// A number field of a TNPP route: an integer as the gateway reads it, from 0 to `max`.
bool FitsTnpp(std::string_view text, std::int32_t max) {
  const auto value = platform::ParseProfileInteger(text);
  return value && *value >= 0 && *value <= max;
}

std::optional<RouteFault> CheckField(std::string_view text, std::string_view name, std::string_view control,
                                     bool comma_allowed, std::optional<std::int32_t> tnpp_max) {
  const auto fault = [&](std::string_view what) { return RouteFault{std::string(name) + std::string(what), control}; };
  if (text.empty()) return RouteFault{"Must Specify " + std::string(name), control};
  if (HasLineBreak(text)) return fault(" Must Not Contain A Line Break");
  if (tnpp_max && !FitsTnpp(text, *tnpp_max)) return fault(" Must Be A Number From 0 To " + std::to_string(*tnpp_max));
  if (!comma_allowed && HasComma(text)) return fault(" Must Not Contain A Comma");
  return std::nullopt;
}

}  // namespace

std::optional<RouteFault> CheckRouteText(std::string_view route) {
  return CheckField(route, "Route", "Route", false, std::nullopt);
}

void ShowRouteFault(MessageSink& sink, const RouteFault& fault) {
  sink.ShowBox(fault.text, BoxKind::kWarning, BoxButtons::kOk);
  sink.Focus(fault.control);
}

std::string_view TRouteDialogModel::Transport() const {
  return TransportIndex >= 0 && static_cast<std::size_t>(TransportIndex) < kRouteTypes.size()
             ? kRouteTypes[TransportIndex]
             : "";
}

void TRouteDialogModel::SelectTransport(std::string_view word) {
  const auto at = std::find(kRouteTypes.begin(), kRouteTypes.end(), word);
  TransportIndex = at == kRouteTypes.end() ? 0 : static_cast<int>(at - kRouteTypes.begin());
}

void TRouteDialogModel::Relabel() {
  const bool tnpp = Transport() == kTransportTnpp;
  DestinationLabel = tnpp ? "&Destination (DEC)" : "&Server";
  PortLabel = tnpp ? "&Inertia" : "&Port";
}

std::optional<RouteFault> TRouteDialogModel::Check() const {
  if (auto fault = CheckRouteText(Route)) return fault;
  if (Transport().empty()) return std::nullopt;
  const FieldNames& names = kFieldNames[static_cast<std::size_t>(TransportIndex)];
  const bool tnpp = Transport() == kTransportTnpp;
  if (auto fault = CheckField(Destination, names.destination, "Destination", false,
                              tnpp ? std::optional(kMaxTnppDestination) : std::nullopt)) {
    return fault;
  }
  // The last field is the rest of the line: a comma in it reads back the same.
  return CheckField(Port, names.port, "Port", true, tnpp ? std::optional(kMaxTnppInertia) : std::nullopt);
}

bool TRouteDialogModel::Accept(MessageSink& sink) const {
  const auto fault = Check();
  if (fault) ShowRouteFault(sink, *fault);
  return !fault;
}

RouteLine TRouteDialogModel::Line() const { return RouteLine{Route, std::string(Transport()), Destination, Port}; }

}  // namespace vltg::manager
