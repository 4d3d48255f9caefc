#pragma once
// The "Misc. Settings" page: the [Misc] settings of manual TAP entry.
#include "manager/model/settings_page.h"

namespace vltg::manager {

class MiscSettings : public SettingsPage {
 public:
  explicit MiscSettings(PageHost& host);
};

}  // namespace vltg::manager
