#pragma once
// Route.Dat, the route table: one route per line, "route,transport,field3,field4",
// split at the first three commas (field4 is the rest of the line and may hold
// commas). The gateway reads it once at start and looks each PIN up in it; the
// manager rewrites it whole.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/convert_error.h"

namespace vltg {

inline constexpr std::string_view kTransportSnpp = "SNPP";
inline constexpr std::string_view kTransportWctp = "WCTP";
inline constexpr std::string_view kTransportTnpp = "TNPP";
inline constexpr std::string_view kDefaultRoute = "default";  // any case

struct RouteLine {
  std::string route;      // a PIN prefix, or "default"
  std::string transport;  // "SNPP", "WCTP", anything else meaning TNPP (exact case)
  std::string field3;     // SNPP host, WCTP URL or TNPP destination address
  std::string field4;     // SNPP TCP port, WCTP port (unused) or TNPP inertia
  // False for a line without any comma: all of it stands in field4, and it
  // takes no part in the lookup.
  bool has_fields = true;

  // The line as the file holds it.
  std::string Text() const;
  bool operator==(const RouteLine&) const = default;
};

// Splits one line: each of the first three fields is the text before the next
// comma, which is then removed with it; where no comma is left the field is
// empty and the rest stays for field4.
RouteLine SplitRouteLine(std::string_view line);

enum class RouteTransport { kSnpp, kWctp, kTnpp };
RouteTransport TransportOf(const RouteLine& line);

// A TNPP route's destination and inertia: configuration integers (decimal, or
// hexadecimal after "$" or "0x"); the inertia's low 16 bits are used.
struct TnppRouteTarget {
  std::int32_t destination;
  std::uint16_t inertia;
};
// Raises EConvertError when either field is no integer.
TnppRouteTarget TnppTargetOf(const RouteLine& line);

class RouteTable {
 public:
  RouteTable() = default;
  explicit RouteTable(std::vector<RouteLine> lines) : lines_(std::move(lines)) {}

  // Every non-empty line, in file order; lines may end CR LF, LF or CR.
  static RouteTable Parse(std::string_view bytes);
  // A missing file gives an empty table; one that exists but cannot be read
  // raises platform::EFileError naming it and the reason.
  static RouteTable Load(const std::filesystem::path& path);

  const std::vector<RouteLine>& Lines() const { return lines_; }

  // The route of a PIN: the first line in file order whose route begins the PIN
  // (case-sensitive; an empty route begins every PIN), else the first line whose
  // route is "default" in any case, else none. Lines without fields never match.
  const RouteLine* Find(std::string_view pin) const;

  // Each line's text and CR LF.
  std::string Render() const;
  // Replaces the file atomically (a new one readable by owner and group
  // only); raises platform::EFileError.
  void Save(const std::filesystem::path& path) const;

 private:
  std::vector<RouteLine> lines_;
};

}  // namespace vltg
