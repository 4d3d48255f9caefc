#pragma once
// The "Misc. Settings" page: manual TAP entry settings.
#include <QWidget>

#include "manager/model/misc_settings.h"
#include "manager/model/page_host.h"
#include "manager/ui/settings_controls.h"

namespace vltg::manager {

class MiscPage : public QWidget {
  Q_OBJECT

 public:
  MiscPage(PageHost& host, QWidget* parent = nullptr);

 private:
  MiscSettings settings_;
  SettingsControls controls_;
};

}  // namespace vltg::manager
