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

}  // namespace vltg::manager
