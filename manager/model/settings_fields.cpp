#include "manager/model/settings_fields.h"

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

// A list's position as stored; one outside the list selects nothing.
int Fit(const SettingsField& field, int position) {
  if (KindOf(field) != FieldKind::kList) return position;
  return position >= 0 && static_cast<std::size_t>(position) < field.items.size() ? position : -1;
}

}  // namespace

FieldKind KindOf(const SettingsField& field) {
  if (std::holds_alternative<const BoolKey*>(field.key)) return FieldKind::kCheck;
  if (std::holds_alternative<const TextKey*>(field.key)) return FieldKind::kEdit;
  if (field.number) return FieldKind::kNumber;
  return field.items.empty() ? FieldKind::kEdit : FieldKind::kList;
}

FieldValues::FieldValues(std::span<const SettingsField> fields) : fields_(fields) {
  for (const SettingsField& field : fields_) {
    values_.push_back(std::visit(
        Overload{
            [](const TextKey* key) -> Value { return std::string(key->manager_default); },
            [&](const IntegerKey* key) -> Value {
              // An edit's default text is the number as the file would hold it.
              if (KindOf(field) == FieldKind::kEdit) return std::to_string(key->manager_default);
              return Fit(field, key->manager_default);
            },
            [](const BoolKey* key) -> Value { return key->manager_default; },
        },
        field.key));
  }
}

void FieldValues::Load(const platform::ProfileFile& config, std::string_view section) {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const SettingsField& field = fields_[i];
    const auto read = [&](const auto* key) { return ReadConfig(config, section, *key, kManager); };
    if (const auto* key = std::get_if<const IntegerKey*>(&field.key)) {
      values_[i] = KindOf(field) == FieldKind::kEdit ? Value(ReadConfigText(config, section, **key, kManager))
                                                     : Value(Fit(field, read(*key)));
    } else {
      values_[i] = std::visit([&](const auto* key) { return Value(read(key)); }, field.key);
    }
  }
}

void FieldValues::Write(platform::ProfileFile& config, std::string_view section) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    const Value& value = values_[i];
    std::visit(Overload{
                   [&](const TextKey* key) { WriteConfig(config, section, *key, std::get<std::string>(value)); },
                   [&](const IntegerKey* key) {
                     if (const auto* text = std::get_if<std::string>(&value)) {
                       WriteConfigText(config, section, *key, *text);
                     } else {
                       WriteConfig(config, section, *key, std::get<int>(value));
                     }
                   },
                   [&](const BoolKey* key) { WriteConfig(config, section, *key, std::get<bool>(value)); },
               },
               fields_[i].key);
  }
}

std::size_t FieldValues::IndexOf(std::string_view control) const {
  const auto at = std::find_if(fields_.begin(), fields_.end(),
                               [&](const SettingsField& field) { return field.control == control; });
  if (at == fields_.end()) throw std::out_of_range("no control " + std::string(control) + " in the table");
  return static_cast<std::size_t>(at - fields_.begin());
}

const SettingsField& FieldValues::Field(std::string_view control) const { return fields_[IndexOf(control)]; }

const std::string& FieldValues::Text(std::string_view control) const {
  return std::get<std::string>(values_[IndexOf(control)]);
}
void FieldValues::SetText(std::string_view control, std::string text) {
  std::get<std::string>(values_[IndexOf(control)]) = std::move(text);
}
int FieldValues::Position(std::string_view control) const { return std::get<int>(values_[IndexOf(control)]); }
void FieldValues::SetPosition(std::string_view control, int position) {
  std::get<int>(values_[IndexOf(control)]) = position;
}
bool FieldValues::Checked(std::string_view control) const { return std::get<bool>(values_[IndexOf(control)]); }
void FieldValues::SetChecked(std::string_view control, bool checked) {
  std::get<bool>(values_[IndexOf(control)]) = checked;
}

}  // namespace vltg::manager
