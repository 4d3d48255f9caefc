#pragma once
// The "TNPP Settings" page: the [TNPP] link settings. The ten number edits
// keep their texts as typed; all but the source address take digits only.
#include "manager/model/settings_page.h"

namespace vltg::manager {

class TnppSettings : public SettingsPage {
 public:
  explicit TnppSettings(PageHost& host);
};

}  // namespace vltg::manager
