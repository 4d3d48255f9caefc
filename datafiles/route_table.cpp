#include "datafiles/route_table.h"

#include "platform/base/ascii_text.h"
#include "platform/base/text_lines.h"
#include "platform/base/whole_file.h"

namespace vltg {

namespace {

// The text before the next comma, removed together with that comma; empty and
// nothing removed when no comma is left.
std::string TakeField(std::string_view& rest) {
  const auto comma = rest.find(',');
  if (comma == std::string_view::npos) return {};
  std::string field(rest.substr(0, comma));
  rest.remove_prefix(comma + 1);
  return field;
}

}  // namespace

std::string RouteLine::Text() const {
  if (!has_fields) return field4;
  return route + ',' + transport + ',' + field3 + ',' + field4;
}

RouteLine SplitRouteLine(std::string_view line) {
  RouteLine split;
  split.has_fields = line.find(',') != std::string_view::npos;
  split.route = TakeField(line);
  split.transport = TakeField(line);
  split.field3 = TakeField(line);
  split.field4 = std::string(line);
  return split;
}

RouteTransport TransportOf(const RouteLine& line) {
  if (line.transport == kTransportSnpp) return RouteTransport::kSnpp;
  if (line.transport == kTransportWctp) return RouteTransport::kWctp;
  return RouteTransport::kTnpp;
}

TnppRouteTarget TnppTargetOf(const RouteLine& line) {
  const std::int32_t destination = platform::StrToInt(line.field3);
  const std::int32_t inertia = platform::StrToInt(line.field4);
  return TnppRouteTarget{destination, static_cast<std::uint16_t>(static_cast<std::uint32_t>(inertia) & 0xFFFFu)};
}

RouteTable RouteTable::Parse(std::string_view bytes) {
  std::vector<RouteLine> lines;
  for (const auto line : platform::SplitLines(bytes)) {
    if (!line.empty()) lines.push_back(SplitRouteLine(line));
  }
  return RouteTable(std::move(lines));
}

RouteTable RouteTable::Load(const std::filesystem::path& path) {
  const auto bytes = platform::ReadWholeFile(path);
  return bytes ? Parse(*bytes) : RouteTable();
}

const RouteLine* RouteTable::Find(std::string_view pin) const {
  for (const auto& line : lines_) {
    if (line.has_fields && pin.starts_with(line.route)) {
      return &line;
    }
  }
  for (const auto& line : lines_) {
    if (line.has_fields && platform::EqualsIgnoreCase(line.route, kDefaultRoute)) return &line;
  }
  return nullptr;
}

std::string RouteTable::Render() const {
  std::string bytes;
  for (const auto& line : lines_) {
    bytes += line.Text();
    bytes += "\r\n";
  }
  return bytes;
}

void RouteTable::Save(const std::filesystem::path& path) const { platform::ReplaceWholeFile(path, Render()); }

}  // namespace vltg
