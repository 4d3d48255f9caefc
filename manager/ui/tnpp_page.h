#pragma once
// The "TNPP Settings" page: the [TNPP] link settings.
#include <QWidget>

#include "manager/model/page_host.h"
#include "manager/model/tnpp_settings.h"
#include "manager/ui/settings_controls.h"

namespace vltg::manager {

class TnppPage : public QWidget {
  Q_OBJECT

 public:
  TnppPage(PageHost& host, QWidget* parent = nullptr);

 private:
  TnppSettings settings_;
  SettingsControls controls_;
};

}  // namespace vltg::manager
