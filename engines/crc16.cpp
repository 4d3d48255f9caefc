#include "engines/crc16.h"

#include <array>

namespace vltg {
namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned n = 0; n < 256; ++n) {
    uint16_t value = static_cast<uint16_t>(n);
    for (int bit = 0; bit < 8; ++bit) value = (value & 1) ? (value >> 1) ^ 0xA001 : value >> 1;
    table[n] = value;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0xC0C1 && kTable[128] == 0xA001 && kTable[255] == 0x4040);

}  // namespace

void CRC16Update(const void* Data, size_t Count, uint16_t& Value) {
  const auto* bytes = static_cast<const unsigned char*>(Data);
  for (size_t i = 0; i < Count; ++i) Value = kTable[(Value ^ bytes[i]) & 0xFF] ^ (Value >> 8);
}

}  // namespace vltg
