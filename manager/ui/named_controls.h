#pragma once
// Controls made with the form's control name as their object name (what
// QtMessageSink::Focus and the tests find them by) and their first value.
#include <QStringList>
#include <string>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;

namespace vltg::manager {

// A drop-down list without free text.
QComboBox* NamedList(QWidget* parent, const char* name, const QStringList& items, int current);
QCheckBox* NamedCheck(QWidget* parent, const char* name, const char* caption, bool checked);
QLineEdit* NamedEdit(QWidget* parent, const char* name, const std::string& text);
QPushButton* NamedButton(QWidget* parent, const char* name, const char* caption, const char* hint);

}  // namespace vltg::manager
