#include "manager/model/wctp_settings.h"

#include <array>

namespace vltg::manager {

namespace {

// In the order the keys are written and the blank ones refused.
constexpr std::array<SettingsField, 3> kWctpFields{{
    {"WCTPSenderID", &kWctpSenderID, "Sender &ID:", "Normally Your E-Mail Address", {},
     "Sender ID Can Not Be Blank!"},
    {"WCTPDocType", &kWctpDocType, "Default &DTD Document:", "Normally Leave The Default Setting", {},
     "DTD Document Can Not Be Blank!"},
    {"WCTPMiscSenderInfo", &kWctpMiscSenderInfo, "Sender &Misc. Info:", ""},
}};

}  // namespace

WctpSettings::WctpSettings(PageHost& host) : SettingsPage(host, kWctpSection, kWctpFields) {}

}  // namespace vltg::manager
