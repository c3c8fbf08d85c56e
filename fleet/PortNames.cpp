#include "PortNames.h"

#include <cctype>
#include <set>

#include "LinkKinds.h"

namespace portnames {
namespace {

bool entryOf(const std::string& port, PortEntry& entry, std::string& error) {
  CMNC::PortText parsed;
  if (!CMNC::ParsePortText(port, parsed, error)) return false;
  entry = CMNC::EntryOf(parsed, parsed.text);
  return true;
}

}  // namespace

std::string shownName(const std::string& port) { return CMNC::ShownPortText(port); }

bool samePort(const std::string& a, const std::string& b) {
  if (shownName(a) == shownName(b)) return true;
  PortEntry ea, eb;
  std::string error;
  if (!entryOf(a, ea, error) || !entryOf(b, eb, error) || ea.kind != eb.kind ||
      CMNC::LinkKindOf(ea.kind).identityLooksUp)
    return false;
  std::vector<std::string> ka, kb;
  return CMNC::IdentityOf(ea, ka, error) && CMNC::IdentityOf(eb, kb, error) && CMNC::SameReceiver(ka, kb);
}

std::string checkDistinct(const std::vector<std::string>& ports) {
  std::vector<std::vector<std::string>> keys;
  for (const std::string& port : ports) {
    PortEntry entry;
    std::string error;
    std::vector<std::string> found;
    if (!entryOf(port, entry, error) || !CMNC::IdentityOf(entry, found, error))
      return "The port " + shownName(port) + " cannot be used: " + error;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (!CMNC::SameReceiver(keys[i], found)) continue;
      if (shownName(ports[i]) == shownName(port)) return "The port " + shownName(port) + " is named twice.";
      return "The ports " + shownName(ports[i]) + " and " + shownName(port) + " are the same receiver.";
    }
    keys.push_back(found);
  }
  return "";
}

namespace {
// Windows opens a device, not a file, for CON, PRN, AUX, NUL, COM0-COM9 and LPT0-LPT9 with any
// extension: "COM5.log" would write the log into the serial port being loaded.
bool isDeviceName(const std::string& base) {
  std::string stem = base.substr(0, base.find('.'));
  for (char& c : stem) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") return true;
  return stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && std::isdigit(static_cast<unsigned char>(stem[3]));
}
}  // namespace

std::vector<std::string> logFileNames(const std::vector<std::string>& ports) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& port : ports) {
    std::string base;
    for (unsigned char c : shownName(port)) base += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    base.erase(0, base.find_first_not_of("_."));  // "/dev/pts/3" is "dev_pts_3", never a hidden file
    if (base.empty()) base = "port";
    if (isDeviceName(base)) base += "-port";  // "COM5-port.log"
    std::string name = base + ".log";
    for (int n = 2; taken.count(name); ++n) name = base + "-" + std::to_string(n) + ".log";
    taken.insert(name);
    names.push_back(name);
  }
  return names;
}

std::vector<std::string> childEnvironment(const Passwords& passwords, const std::string& port) {
  const auto found = passwords.find(port);
  if (found == passwords.end()) return {};
  return {"VESTREL_TCP_PASSWORD=" + found->second};
}

}  // namespace portnames
