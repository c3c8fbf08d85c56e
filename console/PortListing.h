#pragma once
#include <functional>
#include <string>
#include <vector>

#include "PortEntry.h"

// "--list-ports": the ports the wizard would offer, kind by kind, as text or JSON.
namespace portlisting {

struct ListedPort {
  std::string name;         // what the port box calls it
  std::string description;  // the port box's text
  std::string kind;         // "serial", "usb", "bluetooth", "tcpip"
  std::string port;         // what /port takes to reach it (a TCP/IP password left out)
};

using Directory = std::function<std::vector<PortEntry>(ConnectionKind)>;

// Every port of every connection kind the wizard offers, in the connection box's order.
std::vector<ListedPort> listPorts(const Directory& directory, bool bluetoothAvailable);
// One port a line: name, description, kind and /port value separated by tabs.
std::string asText(const std::vector<ListedPort>& ports);
// A JSON array of objects with the fields name, description, kind and port.
std::string asJson(const std::vector<ListedPort>& ports);

}  // namespace portlisting
