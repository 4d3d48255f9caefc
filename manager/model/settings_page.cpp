#include "manager/model/settings_page.h"

#include <algorithm>
#include <stdexcept>

#include "gateway/config_file.h"

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

std::string DigitsOnly(std::string_view text) {
  std::string digits;
  std::copy_if(text.begin(), text.end(), std::back_inserter(digits), [](char c) { return c >= '0' && c <= '9'; });
  return digits;
}

SettingsPage::SettingsPage(TVLSGSrvcMngr& manager, std::string_view section, std::span<const SettingsField> fields)
    : manager_(manager), section_(section), fields_(fields) {
  Load();
}

void SettingsPage::Load() {
  const platform::ProfileFile config = manager_.ConfigToLoad();
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
    MessageSink& sink = manager_.Sink();
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
  const bool written = manager_.WriteConfig([&](platform::ProfileFile& config) {
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
  if (written) manager_.RestartPrompt();
  return written;
}

}  // namespace vltg::manager
