#pragma once
// A settings page of the main window: a table of fields (settings_fields.h)
// for the keys of one Config.Dat section. The page loads once with the
// manager's defaults; its Apply refuses the first blank edit that must be
// filled, then any text that cannot stand in Config.Dat, writes every key in
// the page's order and offers the restart.
#include <span>
#include <string>
#include <string_view>

#include "manager/model/page_host.h"
#include "manager/model/settings_fields.h"

namespace vltg::manager {

class SettingsPage : public FieldValues {
 public:
  // Loads the page from Config.Dat. `fields` stand in the order the page's
  // keys are written and its blank edits checked.
  SettingsPage(PageHost& host, std::string_view section, std::span<const SettingsField> fields);

  // The page's "Apply Changes". True when the page was written.
  bool Apply();

 private:
  PageHost& host_;
  std::string section_;
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
