#pragma once
// WinSock error codes as the socket layer reports them: 10000 plus the BSD
// error number, so ECONNREFUSED is 10061 whatever Linux numbers it.
#include <string>

namespace vltg::platform {

inline constexpr int WSAEINTR = 10004;
inline constexpr int WSAEBADF = 10009;
inline constexpr int WSAEACCES = 10013;
inline constexpr int WSAEFAULT = 10014;
inline constexpr int WSAEINVAL = 10022;
inline constexpr int WSAEMFILE = 10024;
inline constexpr int WSAEWOULDBLOCK = 10035;
inline constexpr int WSAEINPROGRESS = 10036;
inline constexpr int WSAENOTSOCK = 10038;
inline constexpr int WSAEADDRINUSE = 10048;
inline constexpr int WSAENETDOWN = 10050;
inline constexpr int WSAECONNABORTED = 10053;
inline constexpr int WSAECONNRESET = 10054;
inline constexpr int WSAENOBUFS = 10055;
inline constexpr int WSAENOTCONN = 10057;
inline constexpr int WSAETIMEDOUT = 10060;
inline constexpr int WSAECONNREFUSED = 10061;
inline constexpr int WSAEHOSTUNREACH = 10065;

// The WinSock code of a Linux errno value (0 stays 0).
int WsaErrorFromErrno(int err);

// The name of the WinSock error constant ("WSAECONNREFUSED"), or
// "UNKNOWN ERROR" for a code outside the known set.
std::string SocketErrorText(int code);

}  // namespace vltg::platform
