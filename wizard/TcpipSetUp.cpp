#include "TcpipSetUp.h"

#include <algorithm>

#include <charconv>

#include "TcpipAddress.h"
#include "Trimmed.h"

namespace {

// The port number 1..65535, or 0.
int portNumber(const std::string& text) {
  int port = 0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, port);
  return error == std::errc() && last == end && port >= 1 && port <= 65535 ? port : 0;
}

// A host with a colon can only be an IPv6 address: hexadecimal groups, colons, a dotted tail.
bool ipv6Address(const std::string& host) {
  return std::count(host.begin(), host.end(), ':') >= 2 &&
         host.find_first_not_of("0123456789abcdefABCDEF:.") == std::string::npos;
}

}  // namespace

TcpipSetUp::TcpipSetUp(std::vector<PortEntry> hosts) : list_(std::move(hosts)) {
  list_.selectRow(0);
  selectionChange();
}

void TcpipSetUp::select(int row) {
  list_.selectRow(row);
  selectionChange();
}

void TcpipSetUp::selectionChange() {
  editing_ = false;
  filledDescription_.clear();
  const PortEntry* e = list_.selected();
  if (e == nullptr) return;
  const CMNC::TcpipHost h = CMNC::ParseTcpipAddress(e->address);
  fields_ = {h.host, h.port ? std::to_string(h.port) : "", h.password, e->description};
  editing_ = true;
}

void TcpipSetUp::newHost() {
  fields_ = {};
  select(-1);
}

bool TcpipSetUp::descriptionFocused() {
  if (!fields_.description.empty() || fields_.host.empty() || fields_.port.empty()) return false;
  fields_.description = fields_.host + ":" + fields_.port;
  filledDescription_ = fields_.description;
  return true;
}

std::string TcpipSetUp::descriptionEdited(const std::string& text) {
  fields_.description = text;
  const std::string filled = filledDescription_;
  if (filled.empty() || text == filled) return text;
  filledDescription_.clear();
  if (text.size() > filled.size() && text.compare(0, filled.size(), filled) == 0)
    fields_.description = text.substr(filled.size());
  else if (text.size() > filled.size() && text.compare(text.size() - filled.size(), filled.size(), filled) == 0)
    fields_.description = text.substr(0, text.size() - filled.size());
  return fields_.description;
}

std::string TcpipSetUp::addOrUpdate() {
  // An IPv6 address is stored in brackets inside "host:port:password"; brackets typed around it
  // are taken off first.
  std::string host = wizardtext::trimmed(fields_.host);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  if (host.empty() || host.find_first_of("[]") != std::string::npos ||
      (host.find(':') != std::string::npos && !ipv6Address(host)))
    return "Host name or IP address is required.";
  const std::string portText = wizardtext::trimmed(fields_.port);
  const int port = portNumber(portText);
  // An empty field is the written message; a wrong one says which field and what it takes.
  if (port == 0 && portText.empty()) return "Port number is required.";
  if (port == 0) return "The port \"" + portText + "\" is not a port number: give a number from 1 to 65535.";
  const CMNC::TcpipHost stored{host, port, fields_.password, ""};
  const std::string hostPort = CMNC::TcpipHostText(host) + ":" + std::to_string(port);
  const std::string description = fields_.description.empty() ? hostPort : fields_.description;
  if (editing_ && list_.selected() != nullptr) list_.deleteSelected();
  list_.append({description, description, CMNC::TcpipAddressOf(stored), ConnectionKind::Tcpip});
  selectionChange();
  return "";
}

void TcpipSetUp::deleteSelected() {
  list_.deleteSelected();
  selectionChange();
}
