#pragma once
// The controls of a table of settings fields (a settings page, the port
// dialog), one per field: an edit (taking the digits only where the field
// says so), a drop-down list or a check box, named as the field's control and
// showing its value. A number field's control is its owner's. Store() hands
// the operator's values back to the table.
#include <QWidget>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>

#include "manager/model/settings_fields.h"

class QFormLayout;
class QPushButton;

namespace vltg::manager {

class SettingsControls {
 public:
  // The controls become children of `owner`.
  SettingsControls(FieldValues& values, QWidget* owner);

  QWidget* Control(std::string_view control) const;
  // Adds the named controls to the layout in that order: a label and its
  // control, or a check box on its own.
  void AddRows(QFormLayout* layout, std::initializer_list<std::string_view> controls) const;
  // A settings page's "&Apply Changes" button: stores the controls, then applies.
  QPushButton* ApplyButton(const char* name, std::function<void()> apply);
  void Store() const;

 private:
  FieldValues& values_;
  QWidget* owner_;
  std::map<std::string, QWidget*, std::less<>> controls_;
};

}  // namespace vltg::manager
