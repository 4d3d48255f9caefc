#pragma once
// The model's texts (UTF-8 bytes) on Qt's controls and back.
#include <QString>
#include <string>
#include <string_view>

namespace vltg::manager {

inline QString ToQString(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

inline std::string FromQString(const QString& text) { return text.toStdString(); }

// What a control that was loaded with `loaded` holds now: `loaded` itself while
// it still shows it, so bytes that are not UTF-8 (a file written in another
// code page) survive an Apply that did not touch them.
inline std::string EditedText(const QString& shown, const std::string& loaded) {
  return shown == ToQString(loaded) ? loaded : FromQString(shown);
}

}  // namespace vltg::manager
