#include "engines/log_file.h"

#include "platform/base/whole_file.h"

namespace vltg {
namespace {

std::tm LocalNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}

}  // namespace

TLogFile::TLogFile(TTimeSource Now) : FNow(Now ? std::move(Now) : LocalNow) {}

std::string TLogFile::Stamp(const std::tm& Time) {
  char text[32];
  const size_t n = std::strftime(text, sizeof text, "%m/%d/%Y %H:%M:%S", &Time);
  return std::string(text, n);
}

void TLogFile::Add(const std::string& Text, const std::string& Detail) {
  std::string line = Stamp(FNow()) + " - " + Text;
  if (!Detail.empty()) line += ": " + Detail;
  FLines.push_back(std::move(line));
}

void TLogFile::SaveToFile(const std::string& FileName) const {
  std::string bytes;
  for (const std::string& line : FLines) bytes += line + "\r\n";
  platform::ReplaceWholeFile(FileName, bytes);
}

}  // namespace vltg
