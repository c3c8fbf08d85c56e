#pragma once
#include <string>
#include <utility>
#include <vector>

// The program's settings file on Linux, in the INI form Qt's settings have always written
// (~/.config/Telmora/Vestrel.conf): "[group]" lines, "key=value" lines, a value's special
// characters escaped as Qt escapes them and quoted when it holds ';', ',' or '=' or begins or ends
// with a space. Groups and keys it is not asked about are written back as they were read. The
// file holds receiver passwords: it is written to a new file that is owner-only from its first
// byte and renamed over the old one. Used on one thread.
class SettingsFile {
 public:
  explicit SettingsFile(std::string path) : path_(std::move(path)) {}

  // Reads the file; a missing or unreadable one reads as empty (false).
  bool load();
  // The value of a key in a group, unescaped; empty when there is none.
  std::string value(const std::string& group, const std::string& key) const;
  // Replaces the whole group with these keys and values (escaped here); an empty list removes it.
  void replaceGroup(const std::string& group, const std::vector<std::pair<std::string, std::string>>& entries);
  // Writes the file (its folder made when missing); false with the reason.
  bool save(std::string& error) const;

  // A value as Qt writes it, and back.
  static std::string escaped(const std::string& value);
  static std::string unescaped(const std::string& raw);

 private:
  struct Group {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;  // key and value as written in the file
  };
  std::string path_;
  std::vector<Group> groups_;
};
