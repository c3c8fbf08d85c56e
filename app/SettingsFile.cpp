#include "SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A code point as UTF-8 (an escape "\x263a" names one).
void appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

char simpleEscape(char c) {
  switch (c) {
    case 'a': return '\a';
    case 'b': return '\b';
    case 'f': return '\f';
    case 'n': return '\n';
    case 'r': return '\r';
    case 't': return '\t';
    case 'v': return '\v';
    case '0': return '\0';
    default: return c;  // '"', '\\', '\'', '?' and anything else stand for themselves
  }
}

}  // namespace

std::string SettingsFile::escaped(const std::string& value) {
  std::string out;
  bool quote = false, hexBefore = false;
  const std::string text = value.rfind('@', 0) == 0 ? "@" + value : value;  // "@" begins Qt's typed values
  for (unsigned char c : text) {
    if (c == ';' || c == ',' || c == '=') quote = true;
    if (hexBefore && hexValue(static_cast<char>(c)) >= 0) {  // it would read as part of the escape before
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\x%x", c);
      out += buf;
      continue;
    }
    hexBefore = false;
    switch (c) {
      case '\0': out += "\\0", hexBefore = true; break;
      case '\a': out += "\\a"; break;
      case '\b': out += "\\b"; break;
      case '\f': out += "\\f"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\v': out += "\\v"; break;
      case '"':
      case '\\': out += '\\', out += static_cast<char>(c); break;
      default:
        if (c <= 0x1F) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\x%x", c);
          out += buf;
          hexBefore = true;
        } else {
          out += static_cast<char>(c);  // UTF-8 as it is
        }
    }
  }
  if (quote || (!out.empty() && (out.front() == ' ' || out.back() == ' '))) out = "\"" + out + "\"";
  return out;
}

std::string SettingsFile::unescaped(const std::string& raw) {
  std::string out;
  bool quoted = false;
  const std::string s = trimmed(raw);
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < s.size()) {
      const char e = s[++i];
      if (e == 'x') {
        unsigned cp = 0;
        while (i + 1 < s.size() && hexValue(s[i + 1]) >= 0) cp = cp * 16 + static_cast<unsigned>(hexValue(s[++i]));
        appendUtf8(out, cp);
      } else {
        out += simpleEscape(e);
      }
    } else if (!quoted && c == ',') {
      out += ',';  // a list in a hand-edited file: kept as one text
    } else {
      out += c;
    }
  }
  if (out.rfind("@@", 0) == 0) out.erase(0, 1);
  return out;
}

bool SettingsFile::load() {
  groups_.clear();
  std::ifstream in(path_, std::ios::binary);
  if (!in) return false;
  std::string line;
  groups_.push_back({"General", {}});
  while (std::getline(in, line)) {
    const std::string t = trimmed(line);
    if (t.empty() || t[0] == ';' || t[0] == '#') continue;
    if (t.front() == '[' && t.back() == ']') {
      groups_.push_back({t.substr(1, t.size() - 2), {}});
      continue;
    }
    const auto equals = t.find('=');
    if (equals == std::string::npos) continue;
    groups_.back().entries.emplace_back(trimmed(t.substr(0, equals)), trimmed(t.substr(equals + 1)));
  }
  return true;
}

std::string SettingsFile::value(const std::string& group, const std::string& key) const {
  for (const Group& g : groups_)
    if (g.name == group)
      for (const auto& [k, v] : g.entries)
        if (k == key) return unescaped(v);
  return "";
}

void SettingsFile::replaceGroup(const std::string& group, const std::vector<std::pair<std::string, std::string>>& entries) {
  auto at = std::find_if(groups_.begin(), groups_.end(), [&](const Group& g) { return g.name == group; });
  if (at == groups_.end()) at = groups_.insert(groups_.end(), Group{group, {}});
  at->entries.clear();
  for (const auto& [k, v] : entries) at->entries.emplace_back(k, escaped(v));
}

bool SettingsFile::save(std::string& error) const {
  std::ostringstream text;
  bool first = true;
  for (const Group& g : groups_) {
    if (g.entries.empty()) continue;
    text << (first ? "" : "\n") << "[" << g.name << "]\n";
    for (const auto& [k, v] : g.entries) text << k << "=" << v << "\n";
    first = false;
  }
  const std::filesystem::path path(path_);
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  const std::string temporary = path_ + ".new";
  // Owner-only from its first byte: the mode is given to the call that makes the file.
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, S_IRUSR | S_IWUSR);
  if (fd < 0) return error = "Cannot write " + temporary + ": " + std::strerror(errno), false;
  ::fchmod(fd, S_IRUSR | S_IWUSR);  // also when an old one was left behind
  const std::string bytes = text.str();
  const bool written = ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && ::fsync(fd) == 0;
  ::close(fd);
  if (!written || ::rename(temporary.c_str(), path_.c_str()) != 0) {
    error = "Cannot write " + path_ + ": " + std::strerror(errno);
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}
