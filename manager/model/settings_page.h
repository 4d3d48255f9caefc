#pragma once
// A settings page of the main window as a list of controls, each standing for
// one key of the page's Config.Dat section: edits hold texts as typed, lists a
// position (-1 when nothing is selected), boxes a check. The page loads once
// with the manager's defaults; its Apply refuses the first blank edit that must
// be filled, writes every key in the page's order and offers the restart.
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "datafiles/config_keys.h"
#include "manager/model/page_host.h"

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
};

class SettingsPage {
 public:
  // Loads the page from Config.Dat. `fields` stand in the order the page's
  // keys are written and its blank edits checked.
  SettingsPage(PageHost& host, std::string_view section, std::span<const SettingsField> fields);

  std::span<const SettingsField> Fields() const { return fields_; }
  const SettingsField& Field(std::string_view control) const;

  const std::string& Text(std::string_view control) const;
  void SetText(std::string_view control, std::string text);
  int Position(std::string_view control) const;
  void SetPosition(std::string_view control, int position);
  bool Checked(std::string_view control) const;
  void SetChecked(std::string_view control, bool checked);

  // The page's "Apply Changes". True when the page was written.
  bool Apply();

 private:
  using Value = std::variant<std::string, int, bool>;
  std::size_t IndexOf(std::string_view control) const;
  void Load();

  PageHost& host_;
  std::string section_;
  std::span<const SettingsField> fields_;
  std::vector<Value> values_;
};

// An edit that takes the digits only, after the operator turned its text
// `before` into `after` (UTF-8) with the cursor at byte `cursor`: what was put
// in is the part of `after` between what the two texts share at their start
// and at their end, and of that only the digits stay. The rest stands as it
// was, so a loaded "0x3C" keeps its "x" and "C" until they are deleted. The
// cursor keeps its place among the characters that stay.
struct DigitsEdit {
  std::string text;
  std::size_t cursor = 0;
  bool operator==(const DigitsEdit&) const = default;
};
DigitsEdit KeepTypedDigits(std::string_view before, std::string_view after, std::size_t cursor);

}  // namespace vltg::manager
