#include "manager/ui/named_controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace vltg::manager {

QComboBox* NamedList(QWidget* parent, const char* name, const QStringList& items, int current) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  list->addItems(items);
  list->setCurrentIndex(current);
  return list;
}

QCheckBox* NamedCheck(QWidget* parent, const char* name, const char* caption, bool checked) {
  auto* box = new QCheckBox(caption, parent);
  box->setObjectName(name);
  box->setChecked(checked);
  return box;
}

QLineEdit* NamedEdit(QWidget* parent, const char* name, const std::string& text) {
  auto* edit = new QLineEdit(QString::fromStdString(text), parent);
  edit->setObjectName(name);
  return edit;
}

QPushButton* NamedButton(QWidget* parent, const char* name, const char* caption, const char* hint) {
  auto* button = new QPushButton(caption, parent);
  button->setObjectName(name);
  button->setToolTip(hint);
  return button;
}

}  // namespace vltg::manager
