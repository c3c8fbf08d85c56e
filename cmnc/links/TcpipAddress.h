#pragma once
#include <string>

namespace CMNC {

// A TCP/IP receiver's address as a port's Open and the stored hosts keep it:
// "host:port:password", an IPv6 host in brackets ("[::1]:4001:password").
struct TcpipHost {
  std::string host;         // without brackets
  int port = 0;             // 0: missing, or not a number in 1..65535
  std::string password;     // the rest after the port, colons and all
  std::string description;  // "host:port" ("[v6-address]:port")
};

// Splits an address; a missing field stays empty; an unclosed bracket gives no host.
TcpipHost ParseTcpipAddress(const std::string& address);
// The address from its parts.
std::string TcpipAddressOf(const TcpipHost& host);
// A host as written in an address: an IPv6 address in brackets.
std::string TcpipHostText(const std::string& host);

}  // namespace CMNC
