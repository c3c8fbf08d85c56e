#pragma once
#include <filesystem>
#include <string>

// Paths travel through Vestrel as UTF-8 text; the file system takes them as paths, which on
// Windows are wide strings. These two convert without touching the bytes on Linux.
namespace pathtext {

inline std::filesystem::path fromUtf8(const std::string& text) {
  return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

inline std::string toUtf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

// Where a path's last folder separator is: '/' or, as Windows writes it, '\\'; npos when none.
inline std::size_t lastSeparator(const std::string& path) { return path.find_last_of("/\\"); }

}  // namespace pathtext
