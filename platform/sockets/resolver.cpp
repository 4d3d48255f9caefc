#include "platform/sockets/resolver.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>
#include <vector>

namespace vltg::platform {

std::optional<uint32_t> ParseDottedAddress(const std::string& text) {
  in_addr address{};
  if (inet_aton(text.c_str(), &address) == 0) return std::nullopt;
  return address.s_addr;
}

std::optional<uint32_t> LookupHostAddress(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0 || found == nullptr) return std::nullopt;
  const std::unique_ptr<addrinfo, decltype(&freeaddrinfo)> owner(found, freeaddrinfo);
  for (const addrinfo* entry = found; entry; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addr) {
      return reinterpret_cast<const sockaddr_in*>(entry->ai_addr)->sin_addr.s_addr;
    }
  }
  return std::nullopt;
}

std::optional<uint16_t> LookupServicePort(const std::string& name, const char* protocol) {
  servent entry{};
  servent* result = nullptr;
  std::vector<char> buffer(4096);
  for (;;) {
    const int rc = getservbyname_r(name.c_str(), protocol, &entry, buffer.data(), buffer.size(), &result);
    if (rc != ERANGE || buffer.size() >= (1u << 20)) break;
    buffer.resize(buffer.size() * 2);
  }
  if (result == nullptr) return std::nullopt;
  return static_cast<uint16_t>(result->s_port);
}

uint16_t NetworkPort(uint16_t port) { return htons(port); }

std::string DottedText(uint32_t address) {
  char text[INET_ADDRSTRLEN] = {};
  in_addr in{};
  in.s_addr = address;
  inet_ntop(AF_INET, &in, text, sizeof text);
  return text;
}

}  // namespace vltg::platform
