#pragma once
// TnxsHTTPS: the HTTPS client component, one object of the HTTPS core; it adds
// the SSL properties and the server-certificate events to what TnxHTTP has.
#include "gateway/wctp/nx_http_component.h"
#include "gateway/wctp/nxs_core.h"

namespace vltg {

class EnxsHTTPS : public ENetXferSSL {
 public:
  using ENetXferSSL::ENetXferSSL;
};

enum class TnxshttpsAuthSchemes { authBasic, authDigest };
enum class TnxshttpsFirewallTypes { fwNone, fwTunnel, fwSOCKS4, fwSOCKS5 };
enum class TnxshttpsFollowRedirects { frNever, frAlways, frSameScheme };
enum class TnxshttpsProxySSLs { psAutomatic, psAlways, psNever, psTunnel };
enum class TnxshttpsSSLCertStoreTypes { sstUser, sstMachine, sstPFXFile, sstPFXBlob };

struct TnxsHTTPSTraits {
  using AuthSchemes = TnxshttpsAuthSchemes;
  using FirewallTypes = TnxshttpsFirewallTypes;
  using FollowRedirects = TnxshttpsFollowRedirects;
  using Exception = EnxsHTTPS;
  static constexpr const platform::NxPropertyNumbers& kProperties = platform::kHttpsProperties;
  static constexpr const platform::NxEventNumbers& kEvents = platform::kHttpsEvents;
  static constexpr const char* kCreateError = "NetXfer SSL HTTPS: Error creating component";
  static platform::NetXferLibrary& Library() { return platform::HttpsLibrary(); }
};

class TnxsHTTPS
    : public TnxHttpComponent<TnxsHTTPS, TnxsCore, TnxsHTTPSTraits, TnxSslEvents<TnxsHTTPS>> {
 public:
  // Raises EnxsHTTPS (code -1) when the HTTPS core is not loaded or makes no object.
  TnxsHTTPS() = default;

  TnxshttpsProxySSLs GetProxySSL() const { return static_cast<TnxshttpsProxySSLs>(GetNumber(N().ProxySSL)); }
  void SetProxySSL(TnxshttpsProxySSLs value) { SetNumber(N().ProxySSL, static_cast<NxInt>(value)); }
  std::string GetSSLAcceptServerCert() const { return GetCounted(N().SSLAcceptServerCert); }
  void SetSSLAcceptServerCert(const std::string& value) { SetCounted(N().SSLAcceptServerCert, value); }
  std::string GetSSLCertStore() const { return GetCounted(N().SSLCertStore); }
  void SetSSLCertStore(const std::string& value) { SetCounted(N().SSLCertStore, value); }
  std::string GetSSLCertStorePassword() const { return GetText(N().SSLCertStorePassword); }
  void SetSSLCertStorePassword(const std::string& value) { SetText(N().SSLCertStorePassword, value); }
  TnxshttpsSSLCertStoreTypes GetSSLCertStoreType() const {
    return static_cast<TnxshttpsSSLCertStoreTypes>(GetNumber(N().SSLCertStoreType));
  }
  void SetSSLCertStoreType(TnxshttpsSSLCertStoreTypes value) {
    SetNumber(N().SSLCertStoreType, static_cast<NxInt>(value));
  }
  std::string GetSSLCertSubject() const { return GetText(N().SSLCertSubject); }
  void SetSSLCertSubject(const std::string& value) { SetText(N().SSLCertSubject, value); }
  std::string GetSSLServerCert() const { return GetCounted(N().SSLServerCert); }
  void SetSSLServerCert(const std::string&) {}
  std::string GetSSLServerCertStatus() const { return GetText(N().SSLServerCertStatus); }
  void SetSSLServerCertStatus(const std::string&) {}
};

}  // namespace vltg
