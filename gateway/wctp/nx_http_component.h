#pragma once
// What TnxHTTP and TnxsHTTPS share: one object of their core, every property
// read and written through the core's entry points by its number, the
// methods through Do, and the core's events turned into the component's.
// Traits says which core (entry points, numbers, enumerations, exception);
// SslEvents adds the HTTPS component's two events.
#include <exception>
#include <functional>
#include <string>

#include "platform/netxfer/netxfer_abi.h"
#include "platform/netxfer/netxfer_library.h"

namespace vltg {

struct TnxNoSslEvents {};

template <class Self>
struct TnxSslEvents {
  using TSSLServerAuthenticationEvent =
      std::function<void(Self& Sender, const std::string& CertEncoded, const std::string& CertSubject,
                         const std::string& CertIssuer, const std::string& Status, bool& Accept)>;
  using TSSLStatusEvent = std::function<void(Self& Sender, const std::string& Message)>;

  TSSLServerAuthenticationEvent OnSSLServerAuthentication;
  TSSLStatusEvent OnSSLStatus;
};

template <class Self, class Core, class Traits, class SslEvents = TnxNoSslEvents>
class TnxHttpComponent : public Core, public SslEvents {
 public:
  using NxInt = platform::NxInt;
  using AuthSchemes = typename Traits::AuthSchemes;
  using FirewallTypes = typename Traits::FirewallTypes;
  using FollowRedirects = typename Traits::FollowRedirects;

  using TConnectedEvent = std::function<void(Self& Sender, int StatusCode, const std::string& Description)>;
  using TConnectionStatusEvent = std::function<void(Self& Sender, const std::string& ConnectionEvent,
                                                    int StatusCode, const std::string& Description)>;
  using TDisconnectedEvent = std::function<void(Self& Sender, int StatusCode, const std::string& Description)>;
  using TEndTransferEvent = std::function<void(Self& Sender, int Direction)>;
  using TErrorEvent = std::function<void(Self& Sender, int ErrorCode, const std::string& Description)>;
  using THeaderEvent = std::function<void(Self& Sender, const std::string& Field, const std::string& Value)>;
  using TRedirectEvent = std::function<void(Self& Sender, const std::string& Location, bool& Accept)>;
  using TSetCookieEvent =
      std::function<void(Self& Sender, const std::string& Name, const std::string& Value, const std::string& Expires,
                         const std::string& Domain, const std::string& Path, bool Secure)>;
  using TStartTransferEvent = std::function<void(Self& Sender, int Direction)>;
  using TStatusEvent =
      std::function<void(Self& Sender, const std::string& HTTPVersion, int StatusCode, const std::string& Description)>;
  using TTransferEvent =
      std::function<void(Self& Sender, int Direction, int BytesTransferred, const std::string& Text)>;

  TConnectedEvent OnConnected;
  TConnectionStatusEvent OnConnectionStatus;
  TDisconnectedEvent OnDisconnected;
  TEndTransferEvent OnEndTransfer;
  TErrorEvent OnError;
  THeaderEvent OnHeader;
  TRedirectEvent OnRedirect;
  TSetCookieEvent OnSetCookie;
  TStartTransferEvent OnStartTransfer;
  TStatusEvent OnStatus;
  TTransferEvent OnTransfer;

  ~TnxHttpComponent() override {
    platform::NxDestroyFn destroy = Traits::Library().Destroy;
    if (FHandle != 0 && destroy) destroy(FHandle);
    FHandle = 0;
  }

  // Published properties.
  std::string GetAccept() const { return GetText(N().Accept); }
  void SetAccept(const std::string& value) { SetText(N().Accept, value); }
  AuthSchemes GetAuthScheme() const { return static_cast<AuthSchemes>(GetNumber(N().AuthScheme)); }
  void SetAuthScheme(AuthSchemes value) { SetNumber(N().AuthScheme, static_cast<NxInt>(value)); }
  std::string GetFirewallHost() const { return GetText(N().FirewallHost); }
  void SetFirewallHost(const std::string& value) { SetText(N().FirewallHost, value); }
  std::string GetFirewallPassword() const { return GetText(N().FirewallPassword); }
  void SetFirewallPassword(const std::string& value) { SetText(N().FirewallPassword, value); }
  int GetFirewallPort() const { return static_cast<int>(GetNumber(N().FirewallPort)); }
  void SetFirewallPort(int value) { SetNumber(N().FirewallPort, value); }
  FirewallTypes GetFirewallType() const { return static_cast<FirewallTypes>(GetNumber(N().FirewallType)); }
  void SetFirewallType(FirewallTypes value) { SetNumber(N().FirewallType, static_cast<NxInt>(value)); }
  std::string GetFirewallUser() const { return GetText(N().FirewallUser); }
  void SetFirewallUser(const std::string& value) { SetText(N().FirewallUser, value); }
  FollowRedirects GetFollowRedirects() const { return static_cast<FollowRedirects>(GetNumber(N().FollowRedirects)); }
  void SetFollowRedirects(FollowRedirects value) { SetNumber(N().FollowRedirects, static_cast<NxInt>(value)); }
  bool GetIdle() const { return GetNumber(N().Idle) != 0; }
  void SetIdle(bool) {}
  std::string GetLocalFile() const { return GetText(N().LocalFile); }
  void SetLocalFile(const std::string& value) { SetText(N().LocalFile, value); }
  std::string GetLocalHost() const { return GetText(N().LocalHost); }
  void SetLocalHost(const std::string& value) { SetText(N().LocalHost, value); }
  std::string GetPassword() const { return GetText(N().Password); }
  void SetPassword(const std::string& value) { SetText(N().Password, value); }
  std::string GetProxyPassword() const { return GetText(N().ProxyPassword); }
  void SetProxyPassword(const std::string& value) { SetText(N().ProxyPassword, value); }
  int GetProxyPort() const { return static_cast<int>(GetNumber(N().ProxyPort)); }
  void SetProxyPort(int value) { SetNumber(N().ProxyPort, value); }
  std::string GetProxyServer() const { return GetText(N().ProxyServer); }
  void SetProxyServer(const std::string& value) { SetText(N().ProxyServer, value); }
  std::string GetProxyUser() const { return GetText(N().ProxyUser); }
  void SetProxyUser(const std::string& value) { SetText(N().ProxyUser, value); }
  std::string GetRange() const { return GetText(N().Range); }
  void SetRange(const std::string& value) { SetText(N().Range, value); }
  int GetTimeout() const { return static_cast<int>(GetNumber(N().Timeout)); }
  void SetTimeout(int value) { SetNumber(N().Timeout, value); }
  std::string GetURL() const { return GetText(N().URL); }
  void SetURL(const std::string& value) { SetText(N().URL, value); }
  std::string GetUser() const { return GetText(N().User); }
  void SetUser(const std::string& value) { SetText(N().User, value); }

  // Public members: the request written, the reply read, both length-counted.
  void SetPostContentType(const std::string& value) { SetText(N().PostContentType, value); }
  void SetPostBody(const std::string& value) { SetCounted(N().PostBody, value); }
  std::string GetReplyBody() const { return GetCounted(N().ReplyBody); }

  // Sets an option ("name=value"); the result is the core's answer.
  std::string SetOption(const std::string& option) {
    std::string answer;
    platform::NxDoFn call = Traits::Library().Do;
    if (!call) return answer;
    NxInt argv[] = {Pointer(option), 0};
    NxInt lengths[] = {0, 0};
    NxInt result = call(FHandle, platform::kNxMethodSetOption, 1, argv, lengths);
    if (result != 0) RaiseError(static_cast<int>(result), "");
    answer = Copy(argv[1]);
    return answer;
  }

  // Posts PostBody to the URL and returns when the reply has arrived.
  void PostTo(const std::string& URL) {
    platform::NxDoFn call = Traits::Library().Do;
    if (!call) return;
    NxInt argv[] = {Pointer(URL), 0};
    NxInt lengths[] = {0, 0};
    NxInt result = call(FHandle, platform::kNxMethodPostTo, 1, argv, lengths);
    if (result != 0) RaiseError(static_cast<int>(result), "");
  }

  void ClearState() {
    platform::NxDoFn call = Traits::Library().Do;
    if (!call) return;
    NxInt result = call(FHandle, platform::kNxMethodClearState, 0, nullptr, nullptr);
    if (result != 0) RaiseError(static_cast<int>(result), "");
  }

  void ShowAbout() override {
    platform::NxDoFn call = Traits::Library().Do;
    if (call) call(FHandle, platform::kNxMethodAbout, 0, nullptr, nullptr);
  }

  std::exception_ptr CreateException(int code, const std::string& description) const override {
    return std::make_exception_ptr(typename Traits::Exception(code, description));
  }

 protected:
  // Makes the core's object and writes the creation values, in this order,
  // each write's error swallowed.
  TnxHttpComponent() {
    platform::NxCreateFn create = Traits::Library().Create;
    if (create) FHandle = create(&TnxHttpComponent::EventCallback, reinterpret_cast<NxInt>(this), 0);
    if (FHandle == 0) RaiseError(-1, Traits::kCreateError);

    const platform::NxPropertyNumbers& n = N();
    auto text = [this](int number, const std::string& value) { Swallow([&] { SetText(number, value); }); };
    auto counted = [this](int number, const std::string& value) { Swallow([&] { SetCounted(number, value); }); };
    auto whole = [this](int number, NxInt value) { Swallow([&] { SetNumber(number, value); }); };
    text(n.Accept, "");
    whole(n.AuthScheme, 0);  // authBasic
    text(n.FirewallHost, "");
    text(n.FirewallPassword, "");
    whole(n.FirewallPort, 0);
    whole(n.FirewallType, 0);  // fwNone
    text(n.FirewallUser, "");
    whole(n.FollowRedirects, 0);  // frNever
    text(n.LocalFile, "");
    text(n.Password, "");
    text(n.ProxyPassword, "");
    whole(n.ProxyPort, 80);
    text(n.ProxyServer, "");
    if (n.ProxySSL != 0) whole(n.ProxySSL, 0);  // psAutomatic
    text(n.ProxyUser, "");
    text(n.Range, "");
    if (n.SSLCertStore != 0) {
      counted(n.SSLCertStore, "MY");
      text(n.SSLCertStorePassword, "");
      whole(n.SSLCertStoreType, 0);  // sstUser
      text(n.SSLCertSubject, "");
    }
    whole(n.Timeout, 60);
    text(n.URL, "");
    text(n.User, "");
  }

  static constexpr const platform::NxPropertyNumbers& N() { return Traits::kProperties; }

  // A write is ignored while the core lacks Set; a refusal raises.
  void Write(int number, NxInt value, NxInt length) {
    platform::NxSetFn set = Traits::Library().Set;
    if (!set) return;
    NxInt result = set(FHandle, number, 0, value, length);
    if (result != 0) RaiseError(static_cast<int>(result), "");
  }
  void SetText(int number, const std::string& value) { Write(number, Pointer(value), 0); }
  void SetCounted(int number, const std::string& value) {
    Write(number, Pointer(value), static_cast<NxInt>(value.size()));
  }
  void SetNumber(int number, NxInt value) { Write(number, value, 0); }

  // Reads never raise; without Get a text reads empty and a number 0.
  std::string GetText(int number) const {
    platform::NxGetFn get = Traits::Library().Get;
    return get ? Copy(get(FHandle, number, 0, nullptr)) : std::string();
  }
  std::string GetCounted(int number) const {
    platform::NxGetFn get = Traits::Library().Get;
    if (!get) return {};
    NxInt length = 0;
    NxInt text = get(FHandle, number, 0, &length);
    return Copy(text, length);
  }
  NxInt GetNumber(int number) const {
    platform::NxGetFn get = Traits::Library().Get;
    return get ? get(FHandle, number, 0, nullptr) : 0;
  }

  [[noreturn]] void RaiseError(int code, std::string description) const {
    platform::NxGetLastErrorFn lastError = Traits::Library().GetLastError;
    if (description.empty() && lastError) description = Copy(reinterpret_cast<NxInt>(lastError(FHandle)));
    std::rethrow_exception(this->CreateException(code, description));
  }

  static NxInt Pointer(const std::string& text) { return reinterpret_cast<NxInt>(text.c_str()); }
  static std::string Copy(NxInt text) {
    const char* chars = reinterpret_cast<const char*>(text);
    return chars ? std::string(chars) : std::string();
  }
  static std::string Copy(NxInt text, NxInt length) {
    const char* chars = reinterpret_cast<const char*>(text);
    return chars && length > 0 ? std::string(chars, static_cast<size_t>(length)) : std::string();
  }

  NxInt FHandle = 0;

 private:
  template <class Write>
  static void Swallow(Write write) {
    try {
      write();
    } catch (const std::exception&) {
    }
  }

  // The core's callback. The handlers' exceptions stop here, never in the core;
  // a handler that throws refuses what its Accept was asked.
  static NxInt EventCallback(NxInt user, NxInt event, NxInt /*argc*/, NxInt* argv, NxInt* lengths) noexcept {
    if (argv == nullptr || lengths == nullptr || event <= 0) return 0;
    try {
      reinterpret_cast<TnxHttpComponent*>(user)->Dispatch(static_cast<int>(event), argv, lengths);
    } catch (...) {
    }
    return 0;
  }

  void Dispatch(int event, NxInt* argv, NxInt* lengths) {
    const platform::NxEventNumbers& e = Traits::kEvents;
    Self& sender = static_cast<Self&>(*this);
    auto text = [&](int i) { return Copy(argv[i]); };
    auto counted = [&](int i) { return Copy(argv[i], lengths[i]); };
    auto number = [&](int i) { return static_cast<int>(argv[i]); };
    auto flag = [&](int i) { return (argv[i] & 0xFF) != 0; };
    if (event == e.Connected) {
      if (OnConnected) OnConnected(sender, number(0), text(1));
    } else if (event == e.ConnectionStatus) {
      if (OnConnectionStatus) OnConnectionStatus(sender, text(0), number(1), text(2));
    } else if (event == e.Disconnected) {
      if (OnDisconnected) OnDisconnected(sender, number(0), text(1));
    } else if (event == e.EndTransfer) {
      if (OnEndTransfer) OnEndTransfer(sender, number(0));
    } else if (event == e.Error) {
      if (OnError) OnError(sender, number(0), text(1));
    } else if (event == e.Header) {
      if (OnHeader) OnHeader(sender, text(0), text(1));
    } else if (event == e.Redirect) {
      bool accept = flag(1);
      argv[1] = 0;
      if (OnRedirect) OnRedirect(sender, text(0), accept);
      argv[1] = accept ? 1 : 0;
    } else if (event == e.SetCookie) {
      if (OnSetCookie) OnSetCookie(sender, text(0), text(1), text(2), text(3), text(4), flag(5));
    } else if (event == e.StartTransfer) {
      if (OnStartTransfer) OnStartTransfer(sender, number(0));
    } else if (event == e.Status) {
      if (OnStatus) OnStatus(sender, text(0), number(1), text(2));
    } else if (event == e.Transfer) {
      if (OnTransfer) OnTransfer(sender, number(0), number(1), counted(2));
    } else if constexpr (requires { SslEvents::OnSSLServerAuthentication; }) {
      if (event == e.SSLServerAuthentication) {
        bool accept = flag(4);
        argv[4] = 0;
        if (this->OnSSLServerAuthentication) {
          this->OnSSLServerAuthentication(sender, counted(0), text(1), text(2), text(3), accept);
        }
        argv[4] = accept ? 1 : 0;
      } else if (event == e.SSLStatus) {
        if (this->OnSSLStatus) this->OnSSLStatus(sender, text(0));
      }
    }
  }
};

}  // namespace vltg
