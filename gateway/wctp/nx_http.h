#pragma once
// TnxHTTP: the HTTP client component, one object of the HTTP core.
#include "gateway/wctp/nx_core.h"
#include "gateway/wctp/nx_http_component.h"

namespace vltg {

class EnxHTTP : public ENetXfer {
 public:
  using ENetXfer::ENetXfer;
};

enum class TnxhttpAuthSchemes { authBasic, authDigest };
enum class TnxhttpFirewallTypes { fwNone, fwTunnel, fwSOCKS4, fwSOCKS5 };
enum class TnxhttpFollowRedirects { frNever, frAlways, frSameScheme };

struct TnxHTTPTraits {
  using AuthSchemes = TnxhttpAuthSchemes;
  using FirewallTypes = TnxhttpFirewallTypes;
  using FollowRedirects = TnxhttpFollowRedirects;
  using Exception = EnxHTTP;
  static constexpr const platform::NxPropertyNumbers& kProperties = platform::kHttpProperties;
  static constexpr const platform::NxEventNumbers& kEvents = platform::kHttpEvents;
  static constexpr const char* kCreateError = "NetXfer HTTP: Error creating component";
  static platform::NetXferLibrary& Library() { return platform::HttpLibrary(); }
};

class TnxHTTP : public TnxHttpComponent<TnxHTTP, TnxCore, TnxHTTPTraits> {
 public:
  // Raises EnxHTTP (code -1) when the HTTP core is not loaded or makes no object.
  TnxHTTP() = default;

  // The port used when the URL names none.
  void SetServerPort(int value) { SetNumber(N().ServerPort, value); }
};

}  // namespace vltg
