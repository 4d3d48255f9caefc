#include "platform/profile/profile_file.h"

#include <mutex>

#include "platform/profile/profile_integer.h"

namespace vltg::platform {

namespace {

// One read-change-replace at a time in this process, so two threads writing
// keys of the same file do not lose one another's change.
std::mutex& WriteLock() {
  static std::mutex lock;
  return lock;
}

// The Update this thread is inside, if any: the file and the text it edits.
// Per thread, so another thread's reads and writes of the same object wait
// for the lock instead of joining the Update.
struct PendingUpdate {
  const ProfileFile* file = nullptr;
  ProfileText* text = nullptr;
};
thread_local PendingUpdate pending;

}  // namespace

ProfileFile::ProfileFile(std::filesystem::path path, std::filesystem::perms new_file_mode)
    : path_(std::move(path)), new_file_mode_(new_file_mode) {}

ProfileText ProfileFile::LoadForWriting() const {
  const auto bytes = ReadWholeFile(path_);
  return bytes ? ProfileText(*bytes) : ProfileText();
}

ProfileText ProfileFile::Load() const {
  try {
    return LoadForWriting();
  } catch (const EFileError& e) {
    if (!OnUnreadable) throw;
    OnUnreadable(*this, e.Message());
    return ProfileText();
  }
}

template <typename Read>
auto ProfileFile::WithText(Read read) const {
  if (pending.file == this) return read(*pending.text);
  return read(Load());
}

void ProfileFile::Update(const std::function<void(ProfileFile& file)>& edits) {
  if (pending.file == this) {  // inside another Update: part of its replacement
    edits(*this);
    return;
  }
  if (pending.file != nullptr) {
    throw EProfileError("A profile file is written inside another one's update: " + path_.string());
  }
  std::lock_guard<std::mutex> guard(WriteLock());
  ProfileText text = LoadForWriting();
  const std::string before = text.Render();
  {
    struct Scope {
      PendingUpdate saved = pending;
      ~Scope() { pending = saved; }
    } scope;
    pending = {this, &text};
    edits(*this);
  }
  const std::string after = text.Render();
  if (after == before) return;  // nothing to change: a missing file stays missing
  ReplaceWholeFile(path_, after, new_file_mode_);
}

template <typename Edit>
void ProfileFile::Change(Edit edit) {
  Update([&](ProfileFile&) { edit(*pending.text); });
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  auto value = WithText([&](const ProfileText& text) { return text.Value(section, key); });
  return value ? std::move(*value) : std::string(default_value);
}

std::int32_t ProfileFile::ReadInteger(std::string_view section, std::string_view key,
                                      std::int32_t default_value) const {
  const auto value = WithText([&](const ProfileText& text) { return text.Value(section, key); });
  if (!value) return default_value;
  return ParseProfileInteger(*value).value_or(default_value);
}

bool ProfileFile::ReadBool(std::string_view section, std::string_view key, bool default_value) const {
  return ReadInteger(section, key, default_value ? 1 : 0) != 0;
}

std::vector<std::string> ProfileFile::ReadSection(std::string_view section) const {
  std::vector<std::string> names;
  for (auto& entry : ReadSectionValues(section)) names.push_back(std::move(entry.name));
  return names;
}

std::vector<ProfileEntry> ProfileFile::ReadSectionValues(std::string_view section) const {
  return WithText([&](const ProfileText& text) { return text.Entries(section); });
}

std::vector<std::string> ProfileFile::ReadSections() const {
  return WithText([](const ProfileText& text) { return text.SectionNames(); });
}

bool ProfileFile::SectionExists(std::string_view section) const {
  return WithText([&](const ProfileText& text) { return text.HasSection(section); });
}

bool ProfileFile::ValueExists(std::string_view section, std::string_view key) const {
  return WithText([&](const ProfileText& text) { return text.Value(section, key).has_value(); });
}

void ProfileFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  Change([&](ProfileText& text) { text.SetValue(section, key, value); });
}

void ProfileFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value) {
  WriteString(section, key, std::to_string(value));
}

void ProfileFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void ProfileFile::WriteNthString(std::string_view section, std::string_view key, std::size_t repeat,
                                 std::string_view value) {
  Change([&](ProfileText& text) { text.SetNthValue(section, key, repeat, value); });
}

void ProfileFile::EraseSection(std::string_view section) {
  Change([&](ProfileText& text) { text.EraseSection(section); });
}

void ProfileFile::DeleteKey(std::string_view section, std::string_view key) {
  Change([&](ProfileText& text) { text.DeleteKey(section, key); });
}

}  // namespace vltg::platform
