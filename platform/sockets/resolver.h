#pragma once
// Thread-safe name resolution for IPv4 sockets. Addresses and ports are in
// network byte order, as a socket address holds them.
#include <cstdint>
#include <optional>
#include <string>

namespace vltg::platform {

// A dotted IPv4 address in the forms inet_addr takes ("10.0.0.1", "127.1",
// "10"); nothing for malformed text.
std::optional<uint32_t> ParseDottedAddress(const std::string& text);

// The first IPv4 address of a host name; nothing when it has none.
std::optional<uint32_t> LookupHostAddress(const std::string& name);

// The port of a service name for `protocol` ("tcp" or "udp").
std::optional<uint16_t> LookupServicePort(const std::string& name, const char* protocol);

// A port number in network byte order.
uint16_t NetworkPort(uint16_t port);

// "a.b.c.d" of an address.
std::string DottedText(uint32_t address);

}  // namespace vltg::platform
