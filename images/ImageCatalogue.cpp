#include "ImageCatalogue.h"

#include <boost/regex.hpp>
#include <cctype>

#include "PathText.h"

namespace catalogue {

bool endsWith(const std::string& text, const std::string& tail) {
  return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

std::string baseName(const std::string& name) {
  const auto cut = pathtext::lastSeparator(name);
  return cut == std::string::npos ? name : name.substr(cut + 1);
}

std::string titleOf(const std::string& name) {
  const std::string base = baseName(name);
  for (const Entry& e : kEntries)
    if (base == e.fileName) return e.title;
  return base;
}

bool isImageFileName(const std::string& name) {
  return name.size() >= 4 && (endsWith(name, ".ldp") || endsWith(name, ".ldr"));
}

bool isLdpName(const std::string& name) { return endsWith(name, ".ldp"); }

bool isRamLoaderName(const std::string& name) { return baseName(name) == kRamLoaderFile; }

bool isNumberedName(const std::string& name) {
  static const boost::regex pattern("(^[0-9_][0-9A-Fa-f]{2}).*", boost::regex::perl);
  const auto slash = name.find('/');
  const std::string rest = slash == std::string::npos ? name : name.substr(slash + 1);
  return boost::regex_match(rest, pattern);
}

bool isUtilityLoaderName(const std::string& name) {
  const std::string base = baseName(name);
  return base.size() >= 3 && base[0] == '_' && std::isxdigit(static_cast<unsigned char>(base[1])) &&
         std::isxdigit(static_cast<unsigned char>(base[2]));
}

int fileType(const std::string& name) {
  const std::string base = baseName(name);
  if (base.size() < 2 || !std::isxdigit(static_cast<unsigned char>(base[1]))) return -1;
  const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(base[1])));
  return c <= '9' ? c - '0' : c - 'a' + 10;
}

int utilityLoaderNumber(const std::string& name) {
  const std::string base = baseName(name);
  return base.size() < 3 ? -1 : base[2] - '0';
}

}  // namespace catalogue
