#pragma once
// The order of the route list, and so of Route.Dat as the manager writes it.
// The gateway takes the first route in file order that begins the PIN, so a
// route that begins with another route's text stands before it: the longer
// prefix wins. Otherwise the order is ascending, letters compared without
// regard to case first and lower case before upper case on a tie, as the
// Windows string comparison orders them.
#include <string_view>
#include <vector>

#include "datafiles/route_table.h"

namespace vltg::manager {

// True when route `a` stands before route `b`. A strict total order.
bool RouteBefore(std::string_view a, std::string_view b);

// Sorts the lines by their route texts; lines with the same text keep their order.
void SortRoutes(std::vector<RouteLine>& lines);

}  // namespace vltg::manager
