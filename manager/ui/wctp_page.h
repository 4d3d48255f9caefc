#pragma once
// The "WCTP Settings" page: the [WCTP] sender settings.
#include <QWidget>

#include "manager/model/page_host.h"
#include "manager/model/wctp_settings.h"
#include "manager/ui/settings_controls.h"

namespace vltg::manager {

class WctpPage : public QWidget {
  Q_OBJECT

 public:
  WctpPage(PageHost& host, QWidget* parent = nullptr);

 private:
  WctpSettings settings_;
  SettingsControls controls_;
};

}  // namespace vltg::manager
