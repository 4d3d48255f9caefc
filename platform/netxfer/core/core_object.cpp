#include "platform/netxfer/core/core_object.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "platform/base/scoped_flag.h"
#include "platform/base/whole_file.h"
#include "platform/netxfer/core/certificate_check.h"
#include "platform/netxfer/core/header_line.h"
#include "platform/netxfer/core/url_parts.h"

namespace vltg::platform::netxfer_core {
namespace {

using Member = int NxPropertyNumbers::*;
using P = NxPropertyNumbers;

enum class Kind { Text, Counted, Number };

struct Property {
  Member member;
  Kind kind;
  bool readOnly;
  NxInt initial;            // numbers
  NxInt maximum;            // numbers are 0 to maximum
  const char* initialText;  // texts
};

constexpr NxInt kPort = 65535;

// Every property of either core, with the value a new object holds. What the
// properties do where their names leave a choice is set out in
// request_setup.h (firewall, proxy, logon, headers, LocalHost) and
// client_certificate.h (the certificate stores). Further:
//   LocalHost reads the address the last connection was made from until it
//     is set;
//   LocalFile, when set, receives the reply body in place of ReplyBody: the
//     file is replaced once, when the post has succeeded, by the file layer's
//     rules (a regular file, never through another user's link, a new file
//     readable by owner and group only); a failed post leaves it as it was;
//   SSLAcceptServerCert holds a certificate (PEM or DER) that is trusted when
//     the server presents exactly it: the server-authentication event then
//     comes with "OK" and Accept true.
constexpr Property kProperties[] = {
    {&P::Accept, Kind::Text, false, 0, 0, ""},
    {&P::AuthScheme, Kind::Number, false, 0, 1, ""},
    {&P::PostContentType, Kind::Text, false, 0, 0, ""},
    {&P::FirewallHost, Kind::Text, false, 0, 0, ""},
    {&P::FirewallPassword, Kind::Text, false, 0, 0, ""},
    {&P::FirewallPort, Kind::Number, false, 0, kPort, ""},
    {&P::FirewallType, Kind::Number, false, 0, 3, ""},
    {&P::FirewallUser, Kind::Text, false, 0, 0, ""},
    {&P::FollowRedirects, Kind::Number, false, 0, 2, ""},
    {&P::Idle, Kind::Number, true, 1, 1, ""},
    {&P::LocalFile, Kind::Text, false, 0, 0, ""},
    {&P::LocalHost, Kind::Text, false, 0, 0, ""},
    {&P::Password, Kind::Text, false, 0, 0, ""},
    {&P::PostBody, Kind::Counted, false, 0, 0, ""},
    {&P::ProxyPassword, Kind::Text, false, 0, 0, ""},
    {&P::ProxyPort, Kind::Number, false, 80, kPort, ""},
    {&P::ProxyServer, Kind::Text, false, 0, 0, ""},
    {&P::ProxySSL, Kind::Number, false, 0, 3, ""},
    {&P::ProxyUser, Kind::Text, false, 0, 0, ""},
    {&P::Range, Kind::Text, false, 0, 0, ""},
    {&P::SSLAcceptServerCert, Kind::Counted, false, 0, 0, ""},
    {&P::ReplyBody, Kind::Counted, true, 0, 0, ""},
    {&P::SSLCertStore, Kind::Counted, false, 0, 0, "MY"},
    {&P::SSLCertStorePassword, Kind::Text, false, 0, 0, ""},
    {&P::SSLCertStoreType, Kind::Number, false, 0, 3, ""},
    {&P::SSLCertSubject, Kind::Text, false, 0, 0, ""},
    {&P::SSLServerCert, Kind::Counted, true, 0, 0, ""},
    {&P::SSLServerCertStatus, Kind::Text, true, 0, 0, ""},
    {&P::Timeout, Kind::Number, false, 60, INT_MAX, ""},
    {&P::URL, Kind::Text, false, 0, 0, ""},
    {&P::ServerPort, Kind::Number, false, 0, kPort, ""},
    {&P::User, Kind::Text, false, 0, 0, ""},
};

const Property* Find(NxInt number) {
  if (number <= 0) return nullptr;
  for (const Property& p : kProperties) {
    if (ThisCore().properties.*p.member == number) return &p;
  }
  return nullptr;
}

int Number(Member member) { return ThisCore().properties.*member; }

constexpr const char* kMaxTransferredData = "MaxTransferredData";
constexpr int kMostRedirections = 20;

// Where a TLS context keeps the peer it was made for.
int TlsPeerIndex() {
  static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
  return index;
}

}  // namespace

CoreObject::CoreObject(NxEventCallback callback, NxInt user)
    : events_(callback, user, ThisCore().events), progress_(events_), easy_(curl_easy_init()) {
  for (const Property& p : kProperties) {
    int number = Number(p.member);
    if (number == 0) continue;
    if (p.kind == Kind::Number) {
      numbers_[number] = p.initial;
    } else {
      texts_[number] = p.initialText;
    }
  }
}

CoreObject::~CoreObject() {
  if (easy_) curl_easy_cleanup(easy_);
}

std::string& CoreObject::Text(Member member) { return texts_[Number(member)]; }

NxInt CoreObject::Int(Member member) const {
  auto found = numbers_.find(Number(member));
  return found == numbers_.end() ? 0 : found->second;
}

NxInt CoreObject::Set(NxInt property, NxInt element, NxInt value, NxInt length) {
  const Property* p = Find(property);
  if (!p) return Fail(kNxErrorUnknownProperty, "Unknown property number " + std::to_string(property));
  if (element != 0) return Fail(kNxErrorBadIndex, "Invalid element index " + std::to_string(element));
  if (p->readOnly) return Fail(kNxErrorReadOnly, "The property is read-only");
  if (busy_) return Fail(kNxErrorBusy, "The object is busy with a transfer");
  const char* text = reinterpret_cast<const char*>(value);
  switch (p->kind) {
    case Kind::Number:
      if (value < 0 || value > p->maximum) {
        return Fail(kNxErrorBadValue, "Value out of range: " + std::to_string(value));
      }
      numbers_[static_cast<int>(property)] = value;
      break;
    case Kind::Text:
      texts_[static_cast<int>(property)] = text ? text : "";
      if (p->member == &P::LocalHost) localHostSet_ = true;
      break;
    case Kind::Counted:
      if (length < 0 || (!text && length > 0)) return Fail(kNxErrorBadValue, "Invalid text length");
      texts_[static_cast<int>(property)].assign(text ? text : "", static_cast<size_t>(length));
      break;
  }
  return 0;
}

NxInt CoreObject::Get(NxInt property, NxInt element, NxInt* length) {
  const Property* p = Find(property);
  if (!p || element != 0) return 0;
  if (p->member == &P::Idle) return busy_ ? 0 : 1;
  if (p->member == &P::LocalHost && !localHostSet_) {
    if (length) *length = static_cast<NxInt>(localAddress_.size());
    return reinterpret_cast<NxInt>(localAddress_.c_str());
  }
  if (p->kind == Kind::Number) return numbers_[static_cast<int>(property)];
  const std::string& text = texts_[static_cast<int>(property)];
  if (length) *length = static_cast<NxInt>(text.size());
  return reinterpret_cast<NxInt>(text.c_str());
}

NxInt CoreObject::CheckIndex(NxInt property, NxInt element) {
  if (!Find(property)) return Fail(kNxErrorUnknownProperty, "Unknown property number " + std::to_string(property));
  if (element != 0) return Fail(kNxErrorBadIndex, "Invalid element index " + std::to_string(element));
  return 0;
}

NxInt CoreObject::Do(NxInt method, NxInt argc, NxInt* argv, NxInt* /*lengths*/) {
  if (busy_) return Fail(kNxErrorBusy, "The object is busy with a transfer");
  auto expect = [&](NxInt count) { return argc == count && (count == 0 || argv != nullptr); };
  switch (method) {
    case kNxMethodAbout:
      return argc == 0 ? 0 : Fail(kNxErrorArgumentCount, "About takes no arguments");
    case kNxMethodSetOption:
      return expect(1) ? SetOption(argc, argv) : Fail(kNxErrorArgumentCount, "SetOption takes one argument");
    case kNxMethodPostTo: {
      if (!expect(1)) return Fail(kNxErrorArgumentCount, "PostTo takes one argument");
      const char* url = reinterpret_cast<const char*>(argv[0]);
      return PostTo(url ? url : "");
    }
    case kNxMethodClearState:
      if (!expect(0)) return Fail(kNxErrorArgumentCount, "ClearState takes no arguments");
      ClearState();
      return 0;
    default:
      return Fail(kNxErrorUnknownMethod, "Unknown method number " + std::to_string(method));
  }
}

// "name=value" sets an option, "name" asks for it; the answer is its value.
NxInt CoreObject::SetOption(NxInt /*argc*/, NxInt* argv) {
  const char* raw = reinterpret_cast<const char*>(argv[0]);
  std::string option = raw ? raw : "";
  size_t equals = option.find('=');
  std::string name = option.substr(0, equals);
  if (name != kMaxTransferredData) return Fail(kNxErrorUnknownOption, "Unknown option: " + name);
  if (equals != std::string::npos) {
    std::string value = option.substr(equals + 1);
    char* end = nullptr;
    unsigned long long limit = std::strtoull(value.c_str(), &end, 10);
    if (value.empty() || *end != '\0' || value[0] == '-') {
      return Fail(kNxErrorBadValue, "Invalid value for " + name + ": " + value);
    }
    maxReplyBytes_ = static_cast<size_t>(limit);
  }
  optionAnswer_ = std::to_string(maxReplyBytes_);
  argv[1] = reinterpret_cast<NxInt>(optionAnswer_.c_str());
  return 0;
}

void CoreObject::ClearState() {
  Text(&P::PostBody).clear();
  ClearReply();
}

// Forgets what the last transfer brought: reply, status and server certificate.
void CoreObject::ClearReply() {
  Text(&P::ReplyBody).clear();
  fileBody_.clear();
  if (ThisCore().checksCertificates) {
    Text(&P::SSLServerCert).clear();
    Text(&P::SSLServerCertStatus).clear();
  }
  statusLine_.clear();
}

NxInt CoreObject::Fail(NxInt code, const std::string& description) {
  lastError_ = description;
  events_.Error(code, description);
  return code;
}

RequestSettings CoreObject::Settings() {
  RequestSettings s;
  s.body = Text(&P::PostBody);
  s.contentType = Text(&P::PostContentType);
  s.accept = Text(&P::Accept);
  s.range = Text(&P::Range);
  s.user = Text(&P::User);
  s.password = Text(&P::Password);
  s.authScheme = Int(&P::AuthScheme);
  s.firewallType = Int(&P::FirewallType);
  s.firewallHost = Text(&P::FirewallHost);
  s.firewallPort = Int(&P::FirewallPort);
  s.firewallUser = Text(&P::FirewallUser);
  s.firewallPassword = Text(&P::FirewallPassword);
  s.proxyServer = Text(&P::ProxyServer);
  s.proxyPort = Int(&P::ProxyPort);
  s.proxyUser = Text(&P::ProxyUser);
  s.proxyPassword = Text(&P::ProxyPassword);
  s.proxySsl = Int(&P::ProxySSL);
  if (localHostSet_) s.localHost = Text(&P::LocalHost);
  s.serverPort = Int(&P::ServerPort);
  s.protocols = ThisCore().protocols;
  s.tls = ThisCore().checksCertificates;
  return s;
}

// Idle reads false, and the object takes no other call, until the post and
// its redirections are over.
NxInt CoreObject::PostTo(const std::string& url) {
  ScopedFlag busy(busy_);
  Text(&P::URL) = url;
  ClearReply();
  identity_.reset();
  pinned_.reset();
  if (ThisCore().checksCertificates) {
    try {
      identity_ = ClientIdentity::Choose({static_cast<int>(Int(&P::SSLCertStoreType)), Text(&P::SSLCertStore),
                                          Text(&P::SSLCertStorePassword), Text(&P::SSLCertSubject)});
    } catch (const CertificateRefusal& refusal) {
      return Fail(kNxErrorBadValue, refusal.what());
    }
    const std::string& accepted = Text(&P::SSLAcceptServerCert);
    if (!accepted.empty() && !(pinned_ = ReadCertificate(accepted))) {
      return Fail(kNxErrorBadValue, "SSLAcceptServerCert: neither a PEM nor a DER certificate");
    }
  }

  using Clock = std::chrono::steady_clock;
  const long timeout = static_cast<long>(Int(&P::Timeout));
  const Clock::time_point deadline = Clock::now() + std::chrono::seconds(timeout);
  std::string hop = url;
  for (int redirections = 0;; ++redirections) {
    long left = 0;  // no limit
    if (timeout > 0) {
      left = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
      if (left <= 0) return Fail(CURLE_OPERATION_TIMEDOUT, "Operation timed out after the redirections");
    }
    if (NxInt failed = Perform(hop, url, left); failed != 0) return failed;

    long status = 0;
    curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
    char* location = nullptr;
    curl_easy_getinfo(easy_, CURLINFO_REDIRECT_URL, &location);
    if (status >= 300 && status <= 399 && location) {
      const std::string next = location;
      if (events_.Redirect(next, RedirectAllowed(hop, next))) {
        if (redirections >= kMostRedirections) {
          return Fail(CURLE_TOO_MANY_REDIRECTS,
                      "More than " + std::to_string(kMostRedirections) + " redirections");
        }
        hop = next;
        ClearReply();
        continue;
      }
    }
    if (status < 200 || status > 299) {
      std::string line = statusLine_.empty() ? std::to_string(status) : statusLine_;
      return Fail(kNxErrorHttpProtocol, "HTTP protocol error. " + line);
    }
    return Deliver();
  }
}

// One request to `url`, its events raised; 0 when it got a response.
NxInt CoreObject::Perform(const std::string& url, const std::string& postedTo, long timeoutMs) {
  errorBuffer_[0] = '\0';
  curl_easy_reset(easy_);
  RequestSettings settings = Settings();
  settings.timeoutMs = timeoutMs;
  RequestSetup setup;
  if (std::optional<Refusal> refusal = setup.Apply(easy_, settings, url, postedTo)) {
    return Fail(refusal->code, refusal->text);
  }
  hopUrl_ = url;
  tlsPeers_.clear();
  tlsContexts_ = 0;
  SetCallbacks();
  progress_.Begin(setup.Route(), settings.body.size());
  const CURLcode result = curl_easy_perform(easy_);
  // The setup's header lists end here; the reply's details stay readable.
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(easy_, CURLOPT_PROXYHEADER, nullptr);

  std::string text = errorBuffer_[0] ? std::string(errorBuffer_) : curl_easy_strerror(result);
  if (result == CURLE_INTERFACE_FAILED) text = "LocalHost: " + text;
  progress_.Finish(result, text);
  return result == CURLE_OK ? 0 : Fail(result, text);
}

// FollowRedirects: frNever, frAlways, frSameScheme; only to a scheme the core speaks.
bool CoreObject::RedirectAllowed(const std::string& from, const std::string& to) {
  const std::string scheme = ReadUrl(to).scheme;
  const bool spoken = scheme == "http" || (scheme == "https" && ThisCore().checksCertificates);
  switch (Int(&P::FollowRedirects)) {
    case 1:
      return spoken;
    case 2:
      return spoken && scheme == ReadUrl(from).scheme;
    default:
      return false;
  }
}

// A successful post's reply goes to LocalFile when one is named.
NxInt CoreObject::Deliver() {
  const std::string& file = Text(&P::LocalFile);
  if (file.empty()) return 0;
  try {
    ReplaceWholeFile(file, fileBody_, kPrivateFileMode);
  } catch (const EFileError& e) {
    return Fail(kNxErrorLocalFile, std::string("LocalFile: ") + e.what());
  }
  fileBody_.clear();
  return 0;
}

void CoreObject::SetCallbacks() {
  void* self = static_cast<void*>(this);
  curl_easy_setopt(easy_, CURLOPT_ERRORBUFFER, errorBuffer_);
  // The debug stream shows the bytes going out; libcurl writes nothing itself.
  curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L);
  curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &CoreObject::OnDebug);
  curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, self);
  curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &CoreObject::OnBody);
  curl_easy_setopt(easy_, CURLOPT_WRITEDATA, self);
  curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &CoreObject::OnHeaderLine);
  curl_easy_setopt(easy_, CURLOPT_HEADERDATA, self);
  curl_easy_setopt(easy_, CURLOPT_SOCKOPTFUNCTION, &CoreObject::OnSocket);
  curl_easy_setopt(easy_, CURLOPT_SOCKOPTDATA, self);
  curl_easy_setopt(easy_, CURLOPT_PREREQFUNCTION, &CoreObject::OnConnected);
  curl_easy_setopt(easy_, CURLOPT_PREREQDATA, self);
  if (ThisCore().checksCertificates) {
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_FUNCTION, &CoreObject::OnSslContext);
    curl_easy_setopt(easy_, CURLOPT_SSL_CTX_DATA, self);
  }
}

int CoreObject::OnDebug(CURL* /*easy*/, curl_infotype type, char* data, size_t size, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  if (type == CURLINFO_HEADER_OUT) {
    object->progress_.HeadersOut();
  } else if (type == CURLINFO_DATA_OUT) {
    object->progress_.BodyOut(std::string_view(data, size));
  }
  return 0;
}

size_t CoreObject::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  size_t bytes = size * count;
  try {
    object->progress_.BodyIn(std::string_view(data, bytes));
    std::string& kept = object->Text(&P::LocalFile).empty() ? object->Text(&P::ReplyBody) : object->fileBody_;
    size_t room = object->maxReplyBytes_ == 0 ? bytes
                  : kept.size() >= object->maxReplyBytes_ ? 0
                                                          : object->maxReplyBytes_ - kept.size();
    kept.append(data, std::min(bytes, room));
    return bytes;
  } catch (...) {
    return 0;  // ends the transfer with a write error
  }
}

// One header line; a new response's status line replaces what an earlier one brought.
size_t CoreObject::OnHeaderLine(char* data, size_t size, size_t count, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  size_t bytes = size * count;
  try {
    const HeaderLine line = object->progress_.ResponseLine(std::string_view(data, bytes));
    if (line.kind == HeaderLine::Kind::kStatus) {
      object->statusLine_ = line.status;
      object->Text(&P::ReplyBody).clear();
      object->fileBody_.clear();
    }
    return bytes;
  } catch (...) {
    return 0;
  }
}

int CoreObject::OnSocket(void* self, curl_socket_t /*socket*/, curlsocktype purpose) {
  auto* object = static_cast<CoreObject*>(self);
  if (purpose == CURLSOCKTYPE_IPCXN) {
    object->progress_.SocketOpened();
    object->tlsContexts_ = 0;
  }
  return CURL_SOCKOPT_OK;
}

int CoreObject::OnConnected(void* self, char* remote, char* local, int remotePort, int /*localPort*/) {
  auto* object = static_cast<CoreObject*>(self);
  object->localAddress_ = local ? local : "";
  object->progress_.Connected(remote ? remote : "", remotePort);
  return CURL_PREREQFUNC_OK;
}

// A TLS context for one connection: the HTTPS proxy's comes first on a
// connection through one, then the server's.
CURLcode CoreObject::OnSslContext(CURL* /*easy*/, void* sslContext, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  SSL_CTX* context = static_cast<SSL_CTX*>(sslContext);
  const bool tlsProxy = object->progress_.Route().TlsProxy() != nullptr;
  try {
    object->tlsPeers_.push_back({object, tlsProxy && object->tlsContexts_++ == 0});
  } catch (...) {
    return CURLE_OUT_OF_MEMORY;
  }
  TlsPeer* peer = &object->tlsPeers_.back();
  SSL_CTX_set_ex_data(context, TlsPeerIndex(), peer);
  // Peer verification on, so OnVerify's refusal ends the handshake; libcurl's
  // own verdict stays off.
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, &CoreObject::OnVerify, peer);
  SSL_CTX_set_info_callback(context, &CoreObject::OnTlsInfo);
  if (!peer->proxy && object->identity_ && !object->identity_->Use(context)) return CURLE_SSL_CERTPROBLEM;
  return CURLE_OK;
}

int CoreObject::OnVerify(X509_STORE_CTX* store, void* peer) {
  auto* tls = static_cast<TlsPeer*>(peer);
  try {
    return tls->object->CheckServerCertificate(store, tls->proxy);
  } catch (...) {
    X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
    return 0;
  }
}

// The TLS layer's progress, as OnSSLStatus messages and as steps of the way.
void CoreObject::OnTlsInfo(const SSL* ssl, int where, int value) {
  auto* peer = static_cast<TlsPeer*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(ssl), TlsPeerIndex()));
  if (!peer) return;
  CoreObject* object = peer->object;
  try {
    if (where & SSL_CB_HANDSHAKE_START) {
      object->progress_.TlsStarted(peer->proxy);
      object->events_.SslStatus("Handshake started");
    }
    if (where & SSL_CB_LOOP) object->events_.SslStatus(SSL_state_string_long(ssl));
    if (where & SSL_CB_ALERT) {
      object->events_.SslStatus(std::string((where & SSL_CB_READ) ? "Alert received: " : "Alert sent: ") +
                                SSL_alert_desc_string_long(value));
    }
    if (where & SSL_CB_HANDSHAKE_DONE) {
      object->events_.SslStatus(std::string("Handshake complete: ") + SSL_get_version(ssl) + ", " +
                                SSL_CIPHER_get_name(SSL_get_current_cipher(ssl)));
      object->progress_.TlsDone(peer->proxy);
    }
  } catch (...) {
  }
}

// Raises the server-authentication event; the handler's Accept decides.
int CoreObject::CheckServerCertificate(X509_STORE_CTX* store, bool proxy) {
  const std::string host = proxy ? progress_.Route().TlsProxy()->host : ReadUrl(hopUrl_).host;
  CertificateCheck check = netxfer_core::CheckServerCertificate(store, host, proxy ? nullptr : pinned_.get());
  Text(&P::SSLServerCert) = check.der;
  Text(&P::SSLServerCertStatus) = check.status;
  if (events_.ServerAuthentication(check.der, check.subject, check.issuer, check.status, check.error == X509_V_OK)) {
    return 1;
  }
  X509_STORE_CTX_set_error(store, check.error != X509_V_OK ? check.error : X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

}  // namespace vltg::platform::netxfer_core
