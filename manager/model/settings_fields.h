#pragma once
// A table of Config.Dat keys, each standing for one control, and the values
// the operator edits in them: edits hold texts as typed, lists a position (-1
// when nothing is selected), boxes a check, and a number field an integer that
// its owner shows in a control of its own. The values start as the manager's
// defaults, load from a section and are written back in the table's order.
// The TNPP, WCTP and Misc pages and the port dialog are such tables.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "datafiles/config_keys.h"
#include "platform/profile/profile_file.h"

namespace vltg::manager {

using ConfigKey = std::variant<const TextKey*, const IntegerKey*, const BoolKey*>;

struct SettingsField {
  std::string_view control;  // the control's name
  ConfigKey key;             // a BoolKey makes a check box
  std::string_view label;    // the label before the control, or the box's caption
  std::string_view hint;
  // A drop-down list's items: the key holds the position. Empty: an edit or a box.
  std::span<const std::string_view> items = {};
  // An edit that must not be left blank: the refusal's text.
  std::string_view blank_text = {};
  // An edit that takes the digits only.
  bool digits_only = false;
  // An integer key held as a number, not as typed text, in a control the
  // table's owner makes (the port's device identifier: a line of the Modem list).
  bool number = false;
};

enum class FieldKind { kEdit, kList, kCheck, kNumber };
FieldKind KindOf(const SettingsField& field);

class FieldValues {
 public:
  // Every field holds its key's manager default.
  explicit FieldValues(std::span<const SettingsField> fields);

  std::span<const SettingsField> Fields() const { return fields_; }
  const SettingsField& Field(std::string_view control) const;

  const std::string& Text(std::string_view control) const;
  void SetText(std::string_view control, std::string text);
  int Position(std::string_view control) const;
  void SetPosition(std::string_view control, int position);
  int Number(std::string_view control) const { return Position(control); }
  void SetNumber(std::string_view control, int number) { SetPosition(control, number); }
  bool Checked(std::string_view control) const;
  void SetChecked(std::string_view control, bool checked);

  // The section's keys, a missing one with the manager's default. A position
  // outside its list selects nothing.
  void Load(const platform::ProfileFile& config, std::string_view section);
  // Every key, in the table's order.
  void Write(platform::ProfileFile& config, std::string_view section) const;

 private:
  using Value = std::variant<std::string, int, bool>;
  std::size_t IndexOf(std::string_view control) const;

  std::span<const SettingsField> fields_;
  std::vector<Value> values_;
};

}  // namespace vltg::manager
