#pragma once
// The line log: time-stamped text lines collected in memory and written out
// whole. The TAP engine records its direct-access modem script with it; the
// service manager uses it as well.
#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace vltg {

class TLogFile {
 public:
  // The wall-clock time a line is stamped with; injectable for tests.
  using TTimeSource = std::function<std::tm()>;

  explicit TLogFile(TTimeSource Now = nullptr);

  // Appends "<date> <time> - Text", followed by ": Detail" when Detail is not
  // empty.
  void Add(const std::string& Text, const std::string& Detail);
  // Writes every line, each ended by CR LF, replacing the file. Raises
  // platform::EFileError when the file cannot be written.
  void SaveToFile(const std::string& FileName) const;

  const std::vector<std::string>& Lines() const { return FLines; }

  // "MM/DD/YYYY HH:MM:SS": the date, a blank and the time, fixed so the file
  // reads the same whatever the machine's locale.
  static std::string Stamp(const std::tm& Time);

 private:
  TTimeSource FNow;
  std::vector<std::string> FLines;
};

}  // namespace vltg
