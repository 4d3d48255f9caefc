#include "platform/netxfer/core/core_object.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#include <openssl/ssl.h>

#include "platform/netxfer/core/certificate_check.h"
#include "platform/netxfer/core/header_line.h"

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

// Every property of either core, with the value a new object holds.
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

// Parses a URL just far enough for the transfer: scheme, host, explicit port.
struct UrlParts {
  std::string scheme, host;
  bool explicitPort = false;
};

UrlParts Parse(const std::string& url) {
  UrlParts parts;
  CURLU* u = curl_url();
  if (!u) return parts;
  if (curl_url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
    char* text = nullptr;
    if (curl_url_get(u, CURLUPART_SCHEME, &text, 0) == CURLUE_OK) parts.scheme = text;
    curl_free(text);
    text = nullptr;
    if (curl_url_get(u, CURLUPART_HOST, &text, 0) == CURLUE_OK) parts.host = text;
    curl_free(text);
    text = nullptr;
    parts.explicitPort = curl_url_get(u, CURLUPART_PORT, &text, 0) == CURLUE_OK;
    curl_free(text);
  }
  curl_url_cleanup(u);
  if (parts.host.size() >= 2 && parts.host.front() == '[' && parts.host.back() == ']') {
    parts.host = parts.host.substr(1, parts.host.size() - 2);
  }
  return parts;
}

}  // namespace

CoreObject::CoreObject(NxEventCallback callback, NxInt user)
    : callback_(callback), user_(user), easy_(curl_easy_init()) {
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
  if (ThisCore().checksCertificates) {
    Text(&P::SSLServerCert).clear();
    Text(&P::SSLServerCertStatus).clear();
  }
  statusLine_.clear();
}

NxInt CoreObject::Fail(NxInt code, const std::string& description) {
  lastError_ = description;
  RaiseError(code, description);
  return code;
}

CURLcode CoreObject::Configure(const std::string& url, curl_slist*& headers) {
  const CoreTraits& core = ThisCore();
  UrlParts parts = Parse(url);
  NxInt follow = Int(&P::FollowRedirects);  // frNever, frAlways, frSameScheme
  std::string redirectProtocols = follow == 2 && !parts.scheme.empty() ? parts.scheme : core.protocols;
  const std::string& body = Text(&P::PostBody);
  const std::string& proxy = Text(&P::ProxyServer);
  const std::string& contentType = Text(&P::PostContentType);
  std::string typeHeader = contentType.empty() ? "Content-Type:" : "Content-Type: " + contentType;
  for (const char* header : {"Expect:", typeHeader.c_str()}) {
    curl_slist* longer = curl_slist_append(headers, header);
    if (!longer) return CURLE_OUT_OF_MEMORY;
    headers = longer;
  }

  CURLcode result = CURLE_OK;
  auto set = [&](CURLoption option, auto value) {
    if (result == CURLE_OK) result = curl_easy_setopt(easy_, option, value);
  };
  set(CURLOPT_URL, url.c_str());
  set(CURLOPT_NOSIGNAL, 1L);
  set(CURLOPT_ERRORBUFFER, errorBuffer_);
  set(CURLOPT_PROTOCOLS_STR, core.protocols);
  set(CURLOPT_REDIR_PROTOCOLS_STR, redirectProtocols.c_str());
  set(CURLOPT_FOLLOWLOCATION, follow != 0 ? 1L : 0L);
  set(CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
  set(CURLOPT_TIMEOUT, static_cast<long>(Int(&P::Timeout)));
  set(CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  set(CURLOPT_POST, 1L);
  set(CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
  set(CURLOPT_POSTFIELDS, body.data());
  set(CURLOPT_HTTPHEADER, headers);
  set(CURLOPT_WRITEFUNCTION, &CoreObject::OnBody);
  set(CURLOPT_WRITEDATA, static_cast<void*>(this));
  set(CURLOPT_HEADERFUNCTION, &CoreObject::OnHeaderLine);
  set(CURLOPT_HEADERDATA, static_cast<void*>(this));
  set(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  // Every post on a connection of its own, so each one meets the certificate check.
  set(CURLOPT_FRESH_CONNECT, 1L);
  set(CURLOPT_FORBID_REUSE, 1L);
  // An empty proxy also keeps the environment's proxy variables out.
  set(CURLOPT_PROXY, proxy.c_str());
  if (!proxy.empty()) {
    set(CURLOPT_PROXYPORT, static_cast<long>(Int(&P::ProxyPort)));
    if (!Text(&P::ProxyUser).empty()) {
      set(CURLOPT_PROXYUSERNAME, Text(&P::ProxyUser).c_str());
      set(CURLOPT_PROXYPASSWORD, Text(&P::ProxyPassword).c_str());
    }
  }
  // The HTTP core's ServerPort stands in for a port the URL does not give.
  if (Int(&P::ServerPort) != 0 && !parts.explicitPort) set(CURLOPT_PORT, static_cast<long>(Int(&P::ServerPort)));
  if (core.checksCertificates) {
    // libcurl's own checks are off: OnVerify decides, through the event.
    set(CURLOPT_SSL_VERIFYPEER, 0L);
    set(CURLOPT_SSL_VERIFYHOST, 0L);
    set(CURLOPT_SSL_SESSIONID_CACHE, 0L);
    set(CURLOPT_SSL_CTX_FUNCTION, &CoreObject::OnSslContext);
    set(CURLOPT_SSL_CTX_DATA, static_cast<void*>(this));
  }
  return result;
}

NxInt CoreObject::PostTo(const std::string& url) {
  Text(&P::URL) = url;
  ClearReply();
  errorBuffer_[0] = '\0';
  curl_easy_reset(easy_);

  curl_slist* headers = nullptr;
  CURLcode result = Configure(url, headers);
  if (result == CURLE_OK) {
    busy_ = true;
    result = curl_easy_perform(easy_);
    busy_ = false;
  }
  long status = 0;
  curl_easy_getinfo(easy_, CURLINFO_RESPONSE_CODE, &status);
  curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);

  if (result != CURLE_OK) {
    return Fail(result, errorBuffer_[0] ? std::string(errorBuffer_) : curl_easy_strerror(result));
  }
  if (status < 200 || status > 299) {
    std::string line = statusLine_.empty() ? std::to_string(status) : statusLine_;
    return Fail(kNxErrorHttpProtocol, "HTTP protocol error. " + line);
  }
  return 0;
}

size_t CoreObject::OnBody(char* data, size_t size, size_t count, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  size_t bytes = size * count;
  try {
    std::string& reply = object->Text(&P::ReplyBody);
    size_t room = object->maxReplyBytes_ == 0 ? bytes
                  : reply.size() >= object->maxReplyBytes_ ? 0
                                                           : object->maxReplyBytes_ - reply.size();
    reply.append(data, std::min(bytes, room));
    return bytes;
  } catch (...) {
    return 0;  // ends the transfer with a write error
  }
}

// One header line: a status line starts each response, the others are fields.
size_t CoreObject::OnHeaderLine(char* data, size_t size, size_t count, void* self) {
  auto* object = static_cast<CoreObject*>(self);
  size_t bytes = size * count;
  try {
    const HeaderLine line = ReadHeaderLine(std::string_view(data, bytes));
    if (line.kind == HeaderLine::Kind::kStatus) {
      object->statusLine_ = line.status;
      object->RaiseStatus(line.version, line.code, line.reason);
    } else if (line.kind == HeaderLine::Kind::kField) {
      object->RaiseHeader(line.field, line.value);
    }
    return bytes;
  } catch (...) {
    return 0;
  }
}

CURLcode CoreObject::OnSslContext(CURL* /*easy*/, void* sslContext, void* self) {
  // Peer verification on, so OnVerify's refusal ends the handshake; libcurl's
  // own verdict stays off.
  SSL_CTX* context = static_cast<SSL_CTX*>(sslContext);
  SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, &CoreObject::OnVerify, self);
  return CURLE_OK;
}

int CoreObject::OnVerify(X509_STORE_CTX* store, void* self) {
  try {
    return static_cast<CoreObject*>(self)->CheckServerCertificate(store);
  } catch (...) {
    X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
    return 0;
  }
}

// Raises the server-authentication event; the handler's Accept decides.
int CoreObject::CheckServerCertificate(X509_STORE_CTX* store) {
  char* current = nullptr;
  curl_easy_getinfo(easy_, CURLINFO_EFFECTIVE_URL, &current);
  CertificateCheck check = netxfer_core::CheckServerCertificate(store, Parse(current ? current : "").host);
  Text(&P::SSLServerCert) = check.der;
  Text(&P::SSLServerCertStatus) = check.status;

  NxInt argv[] = {reinterpret_cast<NxInt>(check.der.c_str()), reinterpret_cast<NxInt>(check.subject.c_str()),
                  reinterpret_cast<NxInt>(check.issuer.c_str()), reinterpret_cast<NxInt>(check.status.c_str()),
                  check.error == X509_V_OK ? 1 : 0};
  NxInt lengths[] = {static_cast<NxInt>(check.der.size()), 0, 0, 0, 0};
  Raise(ThisCore().events.SSLServerAuthentication, argv, lengths, 5);
  if (argv[4] != 0) return 1;
  X509_STORE_CTX_set_error(store, check.error != X509_V_OK ? check.error : X509_V_ERR_APPLICATION_VERIFICATION);
  return 0;
}

void CoreObject::RaiseError(NxInt code, const std::string& description) {
  NxInt argv[] = {code, reinterpret_cast<NxInt>(description.c_str())};
  NxInt lengths[] = {0, 0};
  Raise(ThisCore().events.Error, argv, lengths, 2);
}

void CoreObject::RaiseStatus(const std::string& version, NxInt code, const std::string& reason) {
  NxInt argv[] = {reinterpret_cast<NxInt>(version.c_str()), code, reinterpret_cast<NxInt>(reason.c_str())};
  NxInt lengths[] = {0, 0, 0};
  Raise(ThisCore().events.Status, argv, lengths, 3);
}

void CoreObject::RaiseHeader(const std::string& field, const std::string& value) {
  NxInt argv[] = {reinterpret_cast<NxInt>(field.c_str()), reinterpret_cast<NxInt>(value.c_str())};
  NxInt lengths[] = {0, 0};
  Raise(ThisCore().events.Header, argv, lengths, 2);
}

// Nothing the owner's callback throws may unwind into libcurl.
void CoreObject::Raise(int event, NxInt* argv, NxInt* lengths, NxInt argc) {
  if (!callback_ || event == 0) return;
  try {
    callback_(user_, event, argc, argv, lengths);
  } catch (...) {
  }
}

}  // namespace vltg::platform::netxfer_core
