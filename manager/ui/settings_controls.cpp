#include "manager/ui/settings_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QValidator>
#include <utility>

#include "manager/model/settings_page.h"
#include "manager/ui/qt_text.h"

namespace vltg::manager {

namespace {

// Keeps the digits of whatever is typed or pasted, and the rest of the text as
// it stood: every change of the edit's text passes here, so the text it last
// let through is the one the change was made to. The loaded text itself (an
// undo back to it) is let through whole.
class DigitsValidator : public QValidator {
 public:
  DigitsValidator(const QString& loaded, QObject* parent) : QValidator(parent), loaded_(loaded), last_(loaded) {}
  State validate(QString& input, int& pos) const override {
    const std::string after = FromQString(input);
    if (input == loaded_) {
      last_ = input;
      return Acceptable;
    }
    const DigitsEdit kept = KeepTypedDigits(FromQString(last_), after, FromQString(input.left(pos)).size());
    if (kept.text != after) {
      input = ToQString(kept.text);
      pos = static_cast<int>(ToQString(std::string_view(kept.text).substr(0, kept.cursor)).size());
    }
    last_ = input;
    return Acceptable;
  }

 private:
  const QString loaded_;
  mutable QString last_;
};

}  // namespace

SettingsControls::SettingsControls(FieldValues& values, QWidget* owner) : values_(values), owner_(owner) {
  for (const SettingsField& field : values_.Fields()) {
    const FieldKind kind = KindOf(field);
    if (kind == FieldKind::kNumber) continue;
    QWidget* control = nullptr;
    if (kind == FieldKind::kCheck) {
      auto* box = new QCheckBox(ToQString(field.label), owner_);
      box->setChecked(values_.Checked(field.control));
      control = box;
    } else if (kind == FieldKind::kList) {
      auto* list = new QComboBox(owner_);
      for (const std::string_view item : field.items) list->addItem(ToQString(item));
      list->setCurrentIndex(values_.Position(field.control));
      control = list;
    } else {
      auto* edit = new QLineEdit(ToQString(values_.Text(field.control)), owner_);
      if (field.digits_only) edit->setValidator(new DigitsValidator(edit->text(), edit));
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
    auto* label = new QLabel(ToQString(values_.Field(name).label), owner_);
    label->setBuddy(control);
    layout->addRow(label, control);
  }
}

QPushButton* SettingsControls::ApplyButton(const char* name, std::function<void()> apply) {
  auto* button = new QPushButton("&Apply Changes", owner_);
  button->setObjectName(name);
  QObject::connect(button, &QPushButton::clicked, owner_, [this, apply = std::move(apply)] {
    Store();
    apply();
  });
  return button;
}

void SettingsControls::Store() const {
  for (const auto& [name, control] : controls_) {
    if (auto* box = qobject_cast<QCheckBox*>(control)) {
      values_.SetChecked(name, box->isChecked());
    } else if (auto* list = qobject_cast<QComboBox*>(control)) {
      values_.SetPosition(name, list->currentIndex());
    } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
      values_.SetText(name, EditedText(edit->text(), values_.Text(name)));
    }
  }
}

}  // namespace vltg::manager
