#pragma once
// The entry points of the HTTP and HTTPS cores and the numbers they share with
// the components: property, method and event numbers, and the cores' own error
// codes. Every value crosses as a pointer-sized integer; texts as pointers to
// zero-terminated bytes, with a separate length where a text is length-counted.
#include <cstdint>

namespace vltg::platform {

using NxInt = std::intptr_t;

// Called by a core for each event: (user value, event number, argument count,
// argument array, length array); the result is ignored by the core.
using NxEventCallback = NxInt (*)(NxInt user, NxInt event, NxInt argc, NxInt* argv, NxInt* lengths);

using NxCreateFn = NxInt (*)(NxEventCallback callback, NxInt user, NxInt reserved);
using NxDestroyFn = NxInt (*)(NxInt handle);
using NxSetFn = NxInt (*)(NxInt handle, NxInt property, NxInt element, NxInt value, NxInt length);
using NxGetFn = NxInt (*)(NxInt handle, NxInt property, NxInt element, NxInt* length);
using NxGetLastErrorFn = const char* (*)(NxInt handle);
using NxCheckIndexFn = NxInt (*)(NxInt handle, NxInt property, NxInt element);
using NxDoFn = NxInt (*)(NxInt handle, NxInt method, NxInt argc, NxInt* argv, NxInt* lengths);

// Property numbers of one core; 0 where that core has no such property.
struct NxPropertyNumbers {
  int Accept, AuthScheme, PostContentType, FirewallHost, FirewallPassword, FirewallPort, FirewallType,
      FirewallUser, FollowRedirects, Idle, LocalFile, LocalHost, Password, PostBody, ProxyPassword, ProxyPort,
      ProxyServer, ProxySSL, ProxyUser, Range, SSLAcceptServerCert, ReplyBody, SSLCertStore,
      SSLCertStorePassword, SSLCertStoreType, SSLCertSubject, SSLServerCert, SSLServerCertStatus, Timeout, URL,
      ServerPort, User;
};

inline constexpr NxPropertyNumbers kHttpProperties{
    .Accept = 1, .AuthScheme = 4, .PostContentType = 6, .FirewallHost = 10, .FirewallPassword = 11,
    .FirewallPort = 12, .FirewallType = 13, .FirewallUser = 14, .FollowRedirects = 15, .Idle = 18,
    .LocalFile = 20, .LocalHost = 21, .Password = 23, .PostBody = 24, .ProxyPassword = 27, .ProxyPort = 28,
    .ProxyServer = 29, .ProxySSL = 0, .ProxyUser = 30, .Range = 31, .SSLAcceptServerCert = 0, .ReplyBody = 35,
    .SSLCertStore = 0, .SSLCertStorePassword = 0, .SSLCertStoreType = 0, .SSLCertSubject = 0,
    .SSLServerCert = 0, .SSLServerCertStatus = 0, .Timeout = 34, .URL = 37, .ServerPort = 39, .User = 42};

inline constexpr NxPropertyNumbers kHttpsProperties{
    .Accept = 1, .AuthScheme = 4, .PostContentType = 6, .FirewallHost = 10, .FirewallPassword = 11,
    .FirewallPort = 12, .FirewallType = 13, .FirewallUser = 14, .FollowRedirects = 15, .Idle = 18,
    .LocalFile = 20, .LocalHost = 21, .Password = 23, .PostBody = 24, .ProxyPassword = 27, .ProxyPort = 28,
    .ProxyServer = 29, .ProxySSL = 30, .ProxyUser = 31, .Range = 32, .SSLAcceptServerCert = 34,
    .ReplyBody = 44, .SSLCertStore = 36, .SSLCertStorePassword = 37, .SSLCertStoreType = 38,
    .SSLCertSubject = 39, .SSLServerCert = 40, .SSLServerCertStatus = 41, .Timeout = 43, .URL = 46,
    .ServerPort = 0, .User = 51};

// Event numbers of one core; 0 where that core raises no such event. Events
// come in the thread inside the call that caused them; the order of one
// post's events is set out in core/transfer_progress.h. OnRedirect comes after
// the redirecting response is complete, with Accept true when FollowRedirects
// allows it (frAlways: any scheme the core speaks; frSameScheme: the scheme
// the request used); the core follows it only when Accept is true on return.
// OnSSLStatus carries the TLS layer's progress messages.
struct NxEventNumbers {
  int Connected, ConnectionStatus, Disconnected, EndTransfer, Error, Header, Redirect, SetCookie,
      SSLServerAuthentication, SSLStatus, StartTransfer, Status, Transfer;
};

inline constexpr NxEventNumbers kHttpEvents{1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 9, 10, 11};
inline constexpr NxEventNumbers kHttpsEvents{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13};

// Method numbers for Do. A call without arguments and method 0 is the About call.
inline constexpr int kNxMethodAbout = 0;
inline constexpr int kNxMethodSetOption = 1;
inline constexpr int kNxMethodPostTo = 7;
inline constexpr int kNxMethodClearState = 9;

// Error codes of the cores. A transfer that libcurl fails returns libcurl's own
// code (1 to 99); the cores' own codes lie above.
inline constexpr int kNxErrorHttpProtocol = 100;  // status outside 2xx
inline constexpr int kNxErrorUnknownProperty = 101;
inline constexpr int kNxErrorReadOnly = 102;
inline constexpr int kNxErrorBadValue = 103;
inline constexpr int kNxErrorUnknownMethod = 104;
inline constexpr int kNxErrorArgumentCount = 105;
inline constexpr int kNxErrorUnknownOption = 106;
inline constexpr int kNxErrorInvalidHandle = 107;
inline constexpr int kNxErrorBusy = 108;  // a call into an object that is inside a transfer
inline constexpr int kNxErrorBadIndex = 109;
inline constexpr int kNxErrorLocalFile = 110;  // the reply could not be written to LocalFile

}  // namespace vltg::platform
