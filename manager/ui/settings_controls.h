#pragma once
// The controls of a settings page, one per field of its model: an edit (taking
// the digits only where the field says so), a drop-down list or a check box,
// named as the field's control and showing the loaded value. Store() hands the
// operator's values back to the model before its Apply.
#include <QWidget>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

#include "manager/model/settings_page.h"

class QFormLayout;
class QPushButton;

namespace vltg::manager {

class SettingsControls {
 public:
  // The controls become children of `owner`.
  SettingsControls(SettingsPage& page, QWidget* owner);

  QWidget* Control(std::string_view control) const;
  // Adds the named controls to the layout in that order: a label and its
  // control, or a check box on its own.
  void AddRows(QFormLayout* layout, std::initializer_list<std::string_view> controls) const;
  // The page's "&Apply Changes" button: stores the controls, then the page's Apply.
  QPushButton* ApplyButton(const char* name);
  void Store() const;

 private:
  SettingsPage& page_;
  QWidget* owner_;
  std::map<std::string, QWidget*, std::less<>> controls_;
};

}  // namespace vltg::manager
