#include "StoredDevice.h"

#include "LinkKinds.h"
#include "TcpipAddress.h"

namespace storeddevice {

std::optional<PortEntry> host(const std::string& address, const std::string& name) {
  if (address.empty()) return std::nullopt;
  std::string shown = name;
  if (shown.empty()) shown = CMNC::ParseTcpipAddress(address).description;
  return PortEntry{shown, shown, address, ConnectionKind::Tcpip};
}

std::optional<PortEntry> bluetooth(const std::string& address, const std::string& name) {
  CMNC::PortText device;
  std::string broken;
  const PortEntry stored{"", "", address, ConnectionKind::Bluetooth};
  if (address.rfind('(', 0) != 0 || !CMNC::ParsePortText(CMNC::PortTextOf(stored), device, broken))
    return std::nullopt;  // empty or broken: nothing could connect to it
  const std::string shown = name.empty() ? device.address : name;
  return PortEntry{shown, shown, address, ConnectionKind::Bluetooth};
}

}  // namespace storeddevice
