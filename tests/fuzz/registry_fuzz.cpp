// registry.ini is edited by hand: any bytes read as keys and values without a
// crash, a key's values imply the key and every key above it, the slashes
// around a path do not matter, and a value written reads back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/base/ascii_text.h"
#include "platform/profile/profile_integer.h"
#include "platform/profile/profile_text.h"
#include "platform/registry/registry.h"
#include "tests/support/fuzz_check.h"

using namespace vltg::platform;
using vltg::testing::FuzzCheck;

namespace {

constexpr auto kHive = RegistryHive::kLocalMachine;
constexpr std::string_view kHiveName = "HKEY_LOCAL_MACHINE\\";

void CheckKey(std::string_view store, std::string_view path) {
  const bool exists = RegistryKeyExistsIn(store, kHive, path);
  FuzzCheck(RegistryKeyExistsIn(store, kHive, "\\" + std::string(path) + "\\") == exists);
  const auto value = RegistryValueIn(store, kHive, path, "");
  FuzzCheck(!value || exists);
  if (value) {
    FuzzCheck(value->size() <= ProfileText::kMaxValueLength);
    (void)ParseProfileInteger(*value);
  }
  // Every key above an existing one exists too.
  if (exists) {
    for (size_t at = path.find('\\'); at != std::string_view::npos; at = path.find('\\', at + 1)) {
      FuzzCheck(RegistryKeyExistsIn(store, kHive, path.substr(0, at)));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view store(reinterpret_cast<const char*>(data), size);
  CheckKey(store, "Software\\KYR\\VLTAPGate");
  ProfileText text(store);
  for (const std::string& section : text.SectionNames()) {
    if (section.size() < kHiveName.size() || !EqualsIgnoreCase(section.substr(0, kHiveName.size()), kHiveName)) {
      continue;
    }
    const std::string path = section.substr(kHiveName.size());
    CheckKey(store, path);
    // A key whose path neither starts nor ends with a backslash opens by that path.
    if (!path.starts_with('\\') && !path.ends_with('\\')) FuzzCheck(RegistryKeyExistsIn(store, kHive, path));
  }
  // The data directory's entry, written into the store as read, reads back.
  try {
    text.SetValue("HKEY_LOCAL_MACHINE\\Software\\KYR\\VLTAPGate", "@", "/srv/vltg data");
    const std::string written = text.Render();
    FuzzCheck(RegistryValueIn(written, kHive, "\\software\\kyr\\vltapgate", "") == "/srv/vltg data");
  } catch (const EProfileError&) {
    FuzzCheck(false);  // the name and value are always writable
  }
  return 0;
}
