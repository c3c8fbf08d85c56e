#pragma once
#include <optional>
#include <string>

#include "PortEntry.h"

// One stored TCP/IP host or Bluetooth device as the port box lists it, from the address and name
// the settings hold (the settings file on Linux, the registry on Windows). nullopt for an entry
// nothing could connect to.
namespace storeddevice {

// "host:port:password"; an empty name becomes "host:port".
std::optional<PortEntry> host(const std::string& address, const std::string& name);
// "(XX:XX:XX:XX:XX:XX)"; an empty name becomes the address.
std::optional<PortEntry> bluetooth(const std::string& address, const std::string& name);

}  // namespace storeddevice
