#pragma once
// The "WCTP Settings" page: the [WCTP] sender settings.
#include "manager/model/settings_page.h"

namespace vltg::manager {

class WctpSettings : public SettingsPage {
 public:
  explicit WctpSettings(PageHost& host);
};

}  // namespace vltg::manager
