#include "manager/ui/settings_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>

#include "manager/ui/qt_text.h"

namespace vltg::manager {

namespace {

// Keeps the digits of whatever is typed or pasted.
class DigitsValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override {
    // The cursor stays after the digits that stood before it.
    pos = static_cast<int>(DigitsOnly(FromQString(input.left(pos))).size());
    input = ToQString(DigitsOnly(FromQString(input)));
    return Acceptable;
  }
};

}  // namespace

SettingsControls::SettingsControls(SettingsPage& page, QWidget* owner) : page_(page), owner_(owner) {
  for (const SettingsField& field : page_.Fields()) {
    QWidget* control = nullptr;
    if (std::holds_alternative<const BoolKey*>(field.key)) {
      auto* box = new QCheckBox(ToQString(field.label), owner_);
      box->setChecked(page_.Checked(field.control));
      control = box;
    } else if (!field.items.empty()) {
      auto* list = new QComboBox(owner_);
      for (const std::string_view item : field.items) list->addItem(ToQString(item));
      list->setCurrentIndex(page_.Position(field.control));
      control = list;
    } else {
      auto* edit = new QLineEdit(ToQString(page_.Text(field.control)), owner_);
      if (field.digits_only) edit->setValidator(new DigitsValidator(edit));
      control = edit;
    }
    control->setObjectName(ToQString(field.control));
    if (!field.hint.empty()) control->setToolTip(ToQString(field.hint));
    controls_.emplace(std::string(field.control), control);
  }
}

QWidget* SettingsControls::Control(std::string_view control) const { return controls_.find(control)->second; }

void SettingsControls::AddRows(QFormLayout* layout, std::initializer_list<std::string_view> controls) const {
  for (const std::string_view name : controls) {
    QWidget* control = Control(name);
    if (qobject_cast<QCheckBox*>(control) != nullptr) {
      layout->addRow(control);
      continue;
    }
    auto* label = new QLabel(ToQString(page_.Field(name).label), owner_);
    label->setBuddy(control);
    layout->addRow(label, control);
  }
}

QPushButton* SettingsControls::ApplyButton(const char* name) {
  auto* button = new QPushButton("&Apply Changes", owner_);
  button->setObjectName(name);
  QObject::connect(button, &QPushButton::clicked, owner_, [this] {
    Store();
    page_.Apply();
  });
  return button;
}

void SettingsControls::Store() const {
  for (const auto& [name, control] : controls_) {
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      page_.SetChecked(name, box->isChecked());
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      page_.SetPosition(name, list->currentIndex());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      page_.SetText(name, EditedText(edit->text(), page_.Text(name)));
    }
  }
}

}  // namespace vltg::manager
