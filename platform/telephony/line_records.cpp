#include "platform/telephony/line_records.h"

#include <algorithm>

namespace vltg::platform {
namespace {

void PutWord(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

}  // namespace

std::string VarStringBytes(const VARSTRING& record) {
  const size_t size = std::max({size_t{VARSTRING::kHeaderSize}, size_t{record.dwTotalSize}, size_t{record.dwUsedSize}});
  std::string out(size, '\0');
  PutWord(out, 0, record.dwTotalSize);
  PutWord(out, 4, record.dwNeededSize);
  PutWord(out, 8, record.dwUsedSize);
  PutWord(out, 12, record.dwStringFormat);
  PutWord(out, 16, record.dwStringSize);
  PutWord(out, 20, record.dwStringOffset);
  const size_t offset = record.dwStringOffset;
  if (offset >= VARSTRING::kHeaderSize && offset < size) {
    const size_t length = std::min({record.String.size(), size_t{record.dwStringSize}, size - offset});
    std::copy_n(record.String.begin(), length, out.begin() + static_cast<std::ptrdiff_t>(offset));
  }
  return out;
}

}  // namespace vltg::platform
