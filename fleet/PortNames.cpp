#include "PortNames.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

#include "CSerialPort.h"
#include "CTcpipPort.h"

namespace portnames {
namespace {

bool startsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool isOtherLink(const std::string& port) {
  return startsWith(port, "usb:") || startsWith(port, "bt:") || startsWith(port, "tcp:");
}

}  // namespace

std::string identityKey(const std::string& port) {
  if (startsWith(port, "tcp:")) {
    const CMNC::TcpipHost h = CMNC::CTcpipPort::ParseAddress(port.substr(4));
    return "tcp:" + lower(h.host) + ":" + std::to_string(h.port);
  }
  if (isOtherLink(port)) return lower(port);
  const std::string path = CMNC::CSerialPort::ResolveDevicePath(port);
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(path, error);
  return error ? path : real.string();
}

std::string shownName(const std::string& port) {
  if (!startsWith(port, "tcp:")) return port;
  const CMNC::TcpipHost h = CMNC::CTcpipPort::ParseAddress(port.substr(4));
  return "tcp:" + h.host + ":" + std::to_string(h.port);
}

std::vector<std::string> logFileNames(const std::vector<std::string>& ports) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& port : ports) {
    std::string base;
    for (unsigned char c : shownName(port)) base += std::isalnum(c) || c == '.' || c == '-' || c == '_' ? static_cast<char>(c) : '_';
    base.erase(0, base.find_first_not_of("_."));  // "/dev/pts/3" is "dev_pts_3", never a hidden file
    if (base.empty()) base = "port";
    std::string name = base + ".log";
    for (int n = 2; taken.count(name); ++n) name = base + "-" + std::to_string(n) + ".log";
    taken.insert(name);
    names.push_back(name);
  }
  return names;
}

}  // namespace portnames
