#include "manager/model/settings_page.h"

#include <algorithm>
#include <iterator>

namespace vltg::manager {

namespace {

// The field's label without its accelerator and colon: "Sender &ID:" names "Sender ID".
std::string LabelName(const SettingsField& field) {
  std::string name;
  std::copy_if(field.label.begin(), field.label.end(), std::back_inserter(name), [](char c) { return c != '&'; });
  if (name.ends_with(':')) name.pop_back();
  return name;
}

}  // namespace

DigitsEdit KeepTypedDigits(std::string_view before, std::string_view after, std::size_t cursor) {
  // A UTF-8 continuation byte: the shared parts end and start on whole characters.
  const auto inside = [](std::string_view text, std::size_t at) {
    return at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80;
  };
  std::size_t head = 0;
  while (head < before.size() && head < after.size() && before[head] == after[head]) ++head;
  while (head > 0 && (inside(before, head) || inside(after, head))) --head;
  std::size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail] == after[after.size() - 1 - tail]) {
    ++tail;
  }
  while (tail > 0 && (inside(before, before.size() - tail) || inside(after, after.size() - tail))) --tail;

  DigitsEdit edit{std::string(after.substr(0, head)), 0};
  const std::size_t put_end = after.size() - tail;
  for (std::size_t i = head; i < put_end; ++i) {
    if (i == cursor) edit.cursor = edit.text.size();
    if (after[i] >= '0' && after[i] <= '9') edit.text += after[i];
  }
  if (cursor <= head) edit.cursor = cursor;
  if (cursor >= put_end) edit.cursor = edit.text.size() + (cursor - put_end);
  edit.text += after.substr(put_end);
  return edit;
}

SettingsPage::SettingsPage(PageHost& host, std::string_view section, std::span<const SettingsField> fields)
    : FieldValues(fields), host_(host), section_(section) {
  Load(host_.ConfigToLoad(), section_);
}

bool SettingsPage::Apply() {
  const auto refuse = [&](const SettingsField& field, const std::string& text) {
    MessageSink& sink = host_.Sink();
    sink.Beep();
    sink.ShowBox(text, BoxKind::kError, BoxButtons::kOk);
    sink.Focus(field.control);
    return false;
  };
  for (const SettingsField& field : Fields()) {
    if (!field.blank_text.empty() && Text(field.control).empty()) return refuse(field, std::string(field.blank_text));
  }
  // Config.Dat holds one line per key and no NUL byte: a pasted line break, or
  // a NUL loaded from a file edited by hand, is named before anything is written.
  for (const SettingsField& field : Fields()) {
    if (KindOf(field) != FieldKind::kEdit) continue;
    const std::string& text = Text(field.control);
    if (text.find_first_of("\r\n") != std::string::npos) {
      return refuse(field, LabelName(field) + " Can Not Contain A Line Break!");
    }
    if (text.find('\0') != std::string::npos) {
      return refuse(field, LabelName(field) + " Can Not Contain A NUL Character!");
    }
  }
  const bool written = host_.WriteConfig([&](platform::ProfileFile& config) { Write(config, section_); });
  if (written) host_.RestartPrompt();
  return written;
}

}  // namespace vltg::manager
