#include "manager/model/settings_page.h"

#include <algorithm>
#include <stdexcept>

#include "datafiles/config_file.h"

namespace vltg::manager {

namespace {

constexpr ConfigReader kManager = ConfigReader::kManager;

template <typename... F>
struct Overload : F... {
  using F::operator()...;
};
template <class... F>
Overload(F...) -> Overload<F...>;  // clang 14 does not deduce an aggregate's arguments

bool IsList(const SettingsField& field) { return !field.items.empty(); }

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
    : host_(host), section_(section), fields_(fields) {
  Load();
}

void SettingsPage::Load() {
  const platform::ProfileFile config = host_.ConfigToLoad();
  values_.clear();
  for (const SettingsField& field : fields_) {
    values_.push_back(std::visit(
        Overload{
            [&](const TextKey* key) -> Value { return ReadConfig(config, section_, *key, kManager); },
            [&](const IntegerKey* key) -> Value {
              if (!IsList(field)) return ReadConfigText(config, section_, *key, kManager);
              const int position = ReadConfig(config, section_, *key, kManager);
              // A position outside the list selects nothing.
              return position >= 0 && static_cast<std::size_t>(position) < field.items.size() ? position : -1;
            },
            [&](const BoolKey* key) -> Value { return ReadConfig(config, section_, *key, kManager); },
        },
        field.key));
  }
}

std::size_t SettingsPage::IndexOf(std::string_view control) const {
  const auto at = std::find_if(fields_.begin(), fields_.end(),
                               [&](const SettingsField& field) { return field.control == control; });
  if (at == fields_.end()) throw std::out_of_range("no control " + std::string(control) + " on the page");
  return static_cast<std::size_t>(at - fields_.begin());
}

const SettingsField& SettingsPage::Field(std::string_view control) const { return fields_[IndexOf(control)]; }

const std::string& SettingsPage::Text(std::string_view control) const {
  return std::get<std::string>(values_[IndexOf(control)]);
}
void SettingsPage::SetText(std::string_view control, std::string text) {
  std::get<std::string>(values_[IndexOf(control)]) = std::move(text);
}
int SettingsPage::Position(std::string_view control) const { return std::get<int>(values_[IndexOf(control)]); }
void SettingsPage::SetPosition(std::string_view control, int position) {
  std::get<int>(values_[IndexOf(control)]) = position;
}
bool SettingsPage::Checked(std::string_view control) const { return std::get<bool>(values_[IndexOf(control)]); }
void SettingsPage::SetChecked(std::string_view control, bool checked) {
  std::get<bool>(values_[IndexOf(control)]) = checked;
}

bool SettingsPage::Apply() {
  const auto refuse = [&](const SettingsField& field, const std::string& text) {
    MessageSink& sink = host_.Sink();
    sink.Beep();
    sink.ShowBox(text, BoxKind::kError, BoxButtons::kOk);
    sink.Focus(field.control);
    return false;
  };
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (!fields_[i].blank_text.empty() && std::get<std::string>(values_[i]).empty()) {
      return refuse(fields_[i], std::string(fields_[i].blank_text));
    }
  }
  // Config.Dat holds one line per key and no NUL byte: a pasted line break, or
  // a NUL loaded from a file edited by hand, is named before anything is written.
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const auto* text = std::get_if<std::string>(&values_[i]);
    if (text == nullptr) continue;
    if (text->find_first_of("\r\n") != std::string::npos) {
      return refuse(fields_[i], LabelName(fields_[i]) + " Can Not Contain A Line Break!");
    }
    if (text->find('\0') != std::string::npos) {
      return refuse(fields_[i], LabelName(fields_[i]) + " Can Not Contain A NUL Character!");
    }
  }
  const bool written = host_.WriteConfig([&](platform::ProfileFile& config) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      const Value& value = values_[i];
      std::visit(Overload{
                     [&](const TextKey* key) { WriteConfig(config, section_, *key, std::get<std::string>(value)); },
                     [&](const IntegerKey* key) {
                       if (IsList(fields_[i])) {
                         WriteConfig(config, section_, *key, std::get<int>(value));
                       } else {
                         WriteConfigText(config, section_, *key, std::get<std::string>(value));
                       }
                     },
                     [&](const BoolKey* key) { WriteConfig(config, section_, *key, std::get<bool>(value)); },
                 },
                 fields_[i].key);
    }
  });
  if (written) host_.RestartPrompt();
  return written;
}

}  // namespace vltg::manager
