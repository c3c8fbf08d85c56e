#include "StoredDevice.h"

#include "CBTRemoteDevice.h"
#include "CTcpipPort.h"

namespace storeddevice {

std::optional<PortEntry> host(const std::string& address, const std::string& name) {
  if (address.empty()) return std::nullopt;
  std::string shown = name;
  if (shown.empty()) shown = CMNC::CTcpipPort::ParseAddress(address).description;
  return PortEntry{shown, shown, address, ConnectionKind::Tcpip};
}

std::optional<PortEntry> bluetooth(const std::string& address, const std::string& name) {
  const uint64_t parsed = CMNC::ParseDeviceAddress(address);
  if (parsed == 0) return std::nullopt;  // empty or broken: nothing could connect to it
  const std::string shown = name.empty() ? CMNC::CBTRemoteDevice("", parsed, 0).name : name;
  return PortEntry{shown, shown, address, ConnectionKind::Bluetooth};
}

}  // namespace storeddevice
