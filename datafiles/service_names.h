#pragma once
// The gateway's service as the service database knows it: the name both
// programs install, control and report it by, and the name it is shown as.
namespace vltg {

inline constexpr char kGatewayServiceName[] = "VLTAPGateway";
inline constexpr char kGatewayDisplayName[] = "DI DIZ Evevevu";

}  // namespace vltg
