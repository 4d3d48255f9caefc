#pragma once
// COM port names as the system knows them ("COM1" .. "COM16") mapped to
// devices: $VLTG_ROOT/devices/comN (a symbolic link the operator or a test
// places) when it exists, else /dev/ttyS(N-1).
#include <optional>
#include <string>

namespace vltg::platform {

// N of "COMn" (any letter case, N from 1, no leading zero); nothing for
// every other name.
std::optional<int> ComPortNumber(const std::string& name);

// The device path for a COM name; any other name is taken as a path and
// returned unchanged.
std::string ResolveComPort(const std::string& name);

}  // namespace vltg::platform
