#include "manager/model/misc_settings.h"

#include <array>

namespace vltg::manager {

namespace {

constexpr std::array<std::string_view, 2> kEmulations{"Glenair", "Hark"};

constexpr std::array<SettingsField, 2> kMiscFields{{
    {"mHeader", &kMiscHeader, "Message Header:", ""},
    {"mEmulation", &kMiscEmulation, "Terminal Emulation:", "", kEmulations},
}};

}  // namespace

MiscSettings::MiscSettings(PageHost& host) : SettingsPage(host, kMiscSection, kMiscFields) {}

}  // namespace vltg::manager
