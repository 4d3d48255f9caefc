// Modem configuration files come from outside: any bytes give a block that
// lies wholly inside the file, or none.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "datafiles/modem_config_file.h"
#include "tests/support/fuzz_check.h"

using vltg::testing::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto block = vltg::ModemConfigBlock(bytes);
  if (block) {
    FuzzCheck(size >= vltg::kModemConfigHeaderSize);
    FuzzCheck(block->size() <= size - vltg::kModemConfigHeaderSize);
    FuzzCheck(bytes.substr(vltg::kModemConfigHeaderSize, block->size()) == *block);
  } else if (size >= vltg::kModemConfigHeaderSize) {
    uint64_t string_size = 0;
    for (int i = 3; i >= 0; --i) string_size = string_size << 8 | data[16 + i];
    FuzzCheck(string_size > size - vltg::kModemConfigHeaderSize);
  }
  return 0;
}
