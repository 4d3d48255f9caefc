#pragma once
// CRC-16 of TNPP packets (CRC-16/ARC): reflected polynomial 0xA001, table
// driven, continued from the caller's value, no final inversion. The check
// value of "123456789" from 0 is 0xBB3D.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vltg {

// Runs Count bytes of Data into Value.
void CRC16Update(const void* Data, size_t Count, uint16_t& Value);

inline uint16_t CRC16(std::string_view Data, uint16_t Value = 0) {
  CRC16Update(Data.data(), Data.size(), Value);
  return Value;
}

}  // namespace vltg
