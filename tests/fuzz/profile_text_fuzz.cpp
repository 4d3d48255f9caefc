// Config.Dat comes from outside: any bytes must read, edit and write back
// without a crash, and what is written must read back as written.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/profile/profile_integer.h"
#include "platform/profile/profile_text.h"
#include "tests/support/fuzz_check.h"

using vltg::platform::EProfileError;
using vltg::platform::ParseProfileInteger;
using vltg::platform::ProfileText;
using vltg::testing::FuzzCheck;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ProfileText text(bytes);

  const auto sections = text.SectionNames();
  for (const auto& section : sections) {
    for (const auto& entry : text.Entries(section)) {
      FuzzCheck(entry.value.size() <= ProfileText::kMaxValueLength);
      const auto value = text.Value(section, entry.name);
      FuzzCheck(value.has_value());
      (void)ParseProfileInteger(*value);
    }
  }

  // Rendering is stable: what was written reads as the same text.
  const std::string rendered = text.Render();
  FuzzCheck(ProfileText(rendered).Render() == rendered);

  // A write into a section of the file, and into a new one, reads back.
  for (const std::string& section : {sections.empty() ? std::string("New") : sections.front(), std::string("Fz")}) {
    try {
      text.SetValue(section, "FuzzKey", "fuzz value");
      FuzzCheck(text.Value(section, "fuzzkey") == "fuzz value");
      text.DeleteKey(section, "FUZZKEY");
      FuzzCheck(!text.Value(section, "FuzzKey").has_value());
      text.EraseSection(section);
      FuzzCheck(!text.HasSection(section));
    } catch (const EProfileError&) {
      // A section name from the file that cannot be written back.
    }
  }
  return 0;
}
