#include "platform/sockets/socket_errors.h"

#include <cerrno>
#include <iterator>

namespace vltg::platform {
namespace {

// Linux errno values that differ from the BSD numbering WinSock follows;
// apart from EAGAIN, numbers up to 34 are the same on both.
struct ErrnoPair {
  int linux_errno;
  int bsd_errno;
};
constexpr ErrnoPair kBsdNumbers[] = {
    {EAGAIN, 35},       {EINPROGRESS, 36},     {EALREADY, 37},        {ENOTSOCK, 38},     {EDESTADDRREQ, 39},
    {EMSGSIZE, 40},     {EPROTOTYPE, 41},      {ENOPROTOOPT, 42},     {EPROTONOSUPPORT, 43},
    {ESOCKTNOSUPPORT, 44}, {EOPNOTSUPP, 45},   {EPFNOSUPPORT, 46},    {EAFNOSUPPORT, 47}, {EADDRINUSE, 48},
    {EADDRNOTAVAIL, 49}, {ENETDOWN, 50},       {ENETUNREACH, 51},     {ENETRESET, 52},    {ECONNABORTED, 53},
    {ECONNRESET, 54},   {ENOBUFS, 55},         {EISCONN, 56},         {ENOTCONN, 57},     {ESHUTDOWN, 58},
    {ETOOMANYREFS, 59}, {ETIMEDOUT, 60},       {ECONNREFUSED, 61},    {ELOOP, 62},        {ENAMETOOLONG, 63},
    {EHOSTDOWN, 64},    {EHOSTUNREACH, 65},    {ENOTEMPTY, 66},       {EUSERS, 68},       {EDQUOT, 69},
    {ESTALE, 70},       {EREMOTE, 71},
};

// 10035 to 10071, in order.
constexpr const char* kRangeNames[] = {
    "WSAEWOULDBLOCK", "WSAEINPROGRESS",   "WSAEALREADY",        "WSAENOTSOCK",        "WSAEDESTADDRREQ",
    "WSAEMSGSIZE",    "WSAEPROTOTYPE",    "WSAENOPROTOOPT",     "WSAEPROTONOSUPPORT", "WSAESOCKTNOSUPPORT",
    "WSAEOPNOTSUPP",  "WSAEPFNOSUPPORT",  "WSAEAFNOSUPPORT",    "WSAEADDRINUSE",      "WSAEADDRNOTAVAIL",
    "WSAENETDOWN",    "WSAENETUNREACH",   "WSAENETRESET",       "WSAECONNABORTED",    "WSAECONNRESET",
    "WSAENOBUFS",     "WSAEISCONN",       "WSAENOTCONN",        "WSAESHUTDOWN",       "WSAETOOMANYREFS",
    "WSAETIMEDOUT",   "WSAECONNREFUSED",  "WSAELOOP",           "WSAENAMETOOLONG",    "WSAEHOSTDOWN",
    "WSAEHOSTUNREACH", "WSAENOTEMPTY",    "WSAEPROCLIM",        "WSAEUSERS",          "WSAEDQUOT",
    "WSAESTALE",      "WSAEREMOTE",
};
static_assert(std::size(kRangeNames) == 10071 - 10035 + 1);

struct CodeName {
  int code;
  const char* name;
};
constexpr CodeName kSingleNames[] = {
    {10004, "WSAEINTR"},          {10009, "WSAEBADF"},           {10013, "WSAEACCES"},
    {10014, "WSAEFAULT"},         {10022, "WSAEINVAL"},          {10024, "WSAEMFILE"},
    {10091, "WSASYSNOTREADY"},    {10092, "WSAVERNOTSUPPORTED"}, {10093, "WSANOTINITIALISED"},
    {10101, "WSAEDISCON"},        {11001, "WSAHOST_NOT_FOUND"},  {11002, "WSATRY_AGAIN"},
    {11003, "WSANO_RECOVERY"},    {11004, "WSANO_DATA"},
};

}  // namespace

int WsaErrorFromErrno(int err) {
  if (err == 0) return 0;
  // WinSock has no broken pipe: a send on a connection the peer reset.
  if (err == EPIPE) return WSAECONNRESET;
  if (err == ENFILE) return WSAEMFILE;
  if (err == ENOMEM) return WSAENOBUFS;
  for (const auto& pair : kBsdNumbers) {
    if (pair.linux_errno == err) return 10000 + pair.bsd_errno;
  }
  if (err > 0 && err <= 34) return 10000 + err;
  // Anything else has no WinSock counterpart; an invalid-argument code keeps
  // the number from meaning a different, named error.
  return WSAEINVAL;
}

std::string SocketErrorText(int code) {
  if (code >= 10035 && code <= 10071) return kRangeNames[code - 10035];
  for (const auto& entry : kSingleNames) {
    if (entry.code == code) return entry.name;
  }
  return "UNKNOWN ERROR";
}

}  // namespace vltg::platform
