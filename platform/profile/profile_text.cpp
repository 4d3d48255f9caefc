#include "platform/profile/profile_text.h"

#include "platform/base/ascii_text.h"
#include "platform/base/text_lines.h"

namespace vltg::platform {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

enum class LineKind { kOther, kSection, kKey };

struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::string_view value;  // keys only, trimmed, quotes still on
};

ParsedLine ParseLine(std::string_view line) {
  const std::string_view text = TrimBlanks(line);
  if (text.empty() || text.front() == ';') return {};
  if (text.front() == '[') {
    const auto close = text.find(']');
    if (close == std::string_view::npos) return {};
    return {LineKind::kSection, TrimBlanks(text.substr(1, close - 1)), {}};
  }
  const auto equals = text.find('=');
  if (equals == std::string_view::npos) return {};
  const std::string_view name = TrimBlanks(text.substr(0, equals));
  if (name.empty()) return {};
  return {LineKind::kKey, name, TrimBlanks(text.substr(equals + 1))};
}

std::string ReadValue(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value.substr(0, ProfileText::kMaxValueLength));
}

bool HasLineBreak(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckName(std::string_view name, std::string_view what) {
  if (name.empty() || TrimBlanks(name) != name || HasLineBreak(name)) {
    throw EProfileError("Invalid profile " + std::string(what) + " name \"" + std::string(name) + "\"");
  }
}

void CheckSectionName(std::string_view section) {
  CheckName(section, "section");
  if (section.find(']') != std::string_view::npos) {
    throw EProfileError("Invalid profile section name \"" + std::string(section) + "\"");
  }
}

void CheckKeyName(std::string_view key) {
  CheckName(key, "key");
  if (key.find('=') != std::string_view::npos || key.front() == ';' || key.front() == '[') {
    throw EProfileError("Invalid profile key name \"" + std::string(key) + "\"");
  }
}

std::string KeyLine(std::string_view key, std::string_view value) {
  std::string line(key);
  line += '=';
  line += value;
  return line;
}

}  // namespace

ProfileText::ProfileText(std::string_view bytes) {
  byte_order_mark_ = bytes.starts_with(kByteOrderMark);
  if (byte_order_mark_) bytes.remove_prefix(kByteOrderMark.size());
  for (const auto line : SplitLines(bytes)) lines_.emplace_back(line);
}

std::optional<ProfileText::Range> ProfileText::FindSection(std::string_view section) const {
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const ParsedLine parsed = ParseLine(lines_[i]);
    if (parsed.kind != LineKind::kSection || !EqualsIgnoreCase(parsed.name, section)) continue;
    std::size_t end = i + 1;
    while (end < lines_.size() && ParseLine(lines_[end]).kind != LineKind::kSection) ++end;
    return Range{i, end};
  }
  return std::nullopt;
}

std::optional<std::size_t> ProfileText::FindKey(const Range& range, std::string_view key) const {
  for (std::size_t i = range.header + 1; i < range.end; ++i) {
    const ParsedLine parsed = ParseLine(lines_[i]);
    if (parsed.kind == LineKind::kKey && EqualsIgnoreCase(parsed.name, key)) return i;
  }
  return std::nullopt;
}

std::optional<std::string> ProfileText::Value(std::string_view section, std::string_view key) const {
  const auto range = FindSection(section);
  if (!range) return std::nullopt;
  const auto line = FindKey(*range, key);
  if (!line) return std::nullopt;
  return ReadValue(ParseLine(lines_[*line]).value);
}

std::vector<ProfileEntry> ProfileText::Entries(std::string_view section) const {
  std::vector<ProfileEntry> entries;
  const auto range = FindSection(section);
  if (!range) return entries;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const ParsedLine parsed = ParseLine(lines_[i]);
    if (parsed.kind == LineKind::kKey) entries.push_back({std::string(parsed.name), ReadValue(parsed.value)});
  }
  return entries;
}

std::vector<std::string> ProfileText::SectionNames() const {
  std::vector<std::string> names;
  for (const auto& line : lines_) {
    const ParsedLine parsed = ParseLine(line);
    if (parsed.kind == LineKind::kSection) names.emplace_back(parsed.name);
  }
  return names;
}

std::vector<ProfileSection> ProfileText::Sections() const {
  std::vector<ProfileSection> sections;
  for (const auto& line : lines_) {
    const ParsedLine parsed = ParseLine(line);
    if (parsed.kind == LineKind::kSection) {
      sections.push_back({std::string(parsed.name), {}});
    } else if (parsed.kind == LineKind::kKey && !sections.empty()) {
      sections.back().entries.push_back({std::string(parsed.name), ReadValue(parsed.value)});
    }
  }
  return sections;
}

bool ProfileText::HasSection(std::string_view section) const { return FindSection(section).has_value(); }

void ProfileText::SetValue(std::string_view section, std::string_view key, std::string_view value) {
  CheckSectionName(section);
  CheckKeyName(key);
  const auto range = FindSection(section);
  const auto line = range ? FindKey(*range, key) : std::nullopt;
  // Unchanged: blanks, quotes and a value past the read limit stay as they are,
  // as does a byte no new value may hold.
  if (line && ReadValue(ParseLine(lines_[*line]).value) == value) return;
  if (HasLineBreak(value)) throw EProfileError("Invalid profile value for key \"" + std::string(key) + "\"");

  if (!range) {
    if (!lines_.empty() && !TrimBlanks(lines_.back()).empty()) lines_.emplace_back();
    lines_.push_back("[" + std::string(section) + "]");
    lines_.push_back(KeyLine(key, value));
    return;
  }
  if (line) {
    lines_[*line] = KeyLine(ParseLine(lines_[*line]).name, value);
    return;
  }
  std::size_t last_key = range->header;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    if (ParseLine(lines_[i]).kind == LineKind::kKey) last_key = i;
  }
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(last_key + 1), KeyLine(key, value));
}

void ProfileText::SetNthValue(std::string_view section, std::string_view key, std::size_t repeat,
                              std::string_view value) {
  if (HasLineBreak(value)) throw EProfileError("Invalid profile value for key \"" + std::string(key) + "\"");
  const auto range = FindSection(section);
  if (!range) return;
  for (std::size_t i = range->header + 1; i < range->end; ++i) {
    const ParsedLine parsed = ParseLine(lines_[i]);
    if (parsed.kind != LineKind::kKey || !EqualsIgnoreCase(parsed.name, key)) continue;
    if (repeat-- == 0) {
      lines_[i] = KeyLine(parsed.name, value);
      return;
    }
  }
}

void ProfileText::EraseSection(std::string_view section) {
  while (const auto range = FindSection(section)) {
    lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(range->header),
                 lines_.begin() + static_cast<std::ptrdiff_t>(range->end));
  }
}

void ProfileText::DeleteKey(std::string_view section, std::string_view key) {
  const auto range = FindSection(section);
  if (!range) return;
  for (std::size_t i = range->end; i-- > range->header + 1;) {
    const ParsedLine parsed = ParseLine(lines_[i]);
    if (parsed.kind == LineKind::kKey && EqualsIgnoreCase(parsed.name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

std::string ProfileText::Render() const {
  std::string bytes(byte_order_mark_ ? kByteOrderMark : std::string_view());
  for (const auto& line : lines_) {
    bytes += line;
    bytes += "\r\n";
  }
  return bytes;
}

}  // namespace vltg::platform
