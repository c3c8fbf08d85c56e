#include "TcpipAddress.h"

namespace CMNC {

TcpipHost ParseTcpipAddress(const std::string& address) {
  TcpipHost h;
  std::string rest = address;
  if (!rest.empty() && rest[0] == '[') {  // an IPv6 address: "[::1]:4001:password"
    const auto close = rest.find(']');
    if (close == std::string::npos) return h;
    h.host = rest.substr(1, close - 1);
    rest = rest.substr(close + 1);
    if (!rest.empty() && rest[0] != ':') return TcpipHost{};
    rest = rest.empty() ? rest : rest.substr(1);
  } else {
    const auto colon = rest.find(':');
    h.host = rest.substr(0, colon);
    rest = colon == std::string::npos ? std::string() : rest.substr(colon + 1);
  }
  const auto colon = rest.find(':');
  const std::string p = rest.substr(0, colon);
  if (!p.empty() && p.size() <= 5 && p.find_first_not_of("0123456789") == std::string::npos) {
    const int port = std::stoi(p);
    if (port >= 1 && port <= 65535) h.port = port;
  }
  if (colon != std::string::npos) h.password = rest.substr(colon + 1);
  h.description = TcpipHostText(h.host) + ":" + std::to_string(h.port);
  return h;
}

std::string TcpipHostText(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

std::string TcpipAddressOf(const TcpipHost& host) {
  return TcpipHostText(host.host) + ":" + std::to_string(host.port) + ":" + host.password;
}

}  // namespace CMNC
