#pragma once
// The control characters of the TAP exchange, one byte each.
namespace vltg::tap {

inline constexpr char STX = 0x02;
inline constexpr char ETX = 0x03;  // last block of a transaction's page
inline constexpr char EOT = 0x04;
inline constexpr char ACK = 0x06;
inline constexpr char LF = 0x0A;
inline constexpr char CR = 0x0D;
inline constexpr char NAK = 0x15;
inline constexpr char ETB = 0x17;  // block ends at a field boundary, more follow
inline constexpr char ESC = 0x1B;
inline constexpr char RS = 0x1E;
inline constexpr char US = 0x1F;  // block ends inside a field, continued in the next

}  // namespace vltg::tap
