#pragma once
// The 16 by 16 state images of the route and port lists: 0 a route that leaves
// over the network (SNPP, WCTP), 1 a TNPP route, 2 a disabled port, 3 an
// enabled port, 4 a port entry the gateway does not start.
#include <QIcon>

namespace vltg::manager {

QIcon StateImage(int index);

}  // namespace vltg::manager
