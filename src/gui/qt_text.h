#pragma once
// Conversions between Qt's strings and the core's UTF-8 strings and paths.

#include <QString>
#include <filesystem>
#include <string>

namespace tvi::gui {

inline QString qs(const std::string& utf8) { return QString::fromStdString(utf8); }
inline std::string utf8(const QString& text) { return text.toStdString(); }

// Through UTF-16 so that the same code is right on Windows (wide paths) and
// elsewhere (UTF-8 byte paths).
inline QString qs(const std::filesystem::path& path) {
  return QString::fromStdU16String(path.u16string());
}
inline std::filesystem::path toPath(const QString& text) {
  return std::filesystem::path(text.toStdU16String());
}

}  // namespace tvi::gui
