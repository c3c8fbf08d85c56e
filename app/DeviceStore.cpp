#include "DeviceStore.h"

#include <set>

#include "DeviceStoreBackend.h"
#include "LinkKinds.h"
#include "SecretStore.h"
#include "TcpipAddress.h"
#include "StoredDevice.h"

namespace devicestore {
namespace {

template <typename Make>
std::vector<PortEntry> load(const char* group, const char* addressKey, Make make) {
  std::vector<PortEntry> entries;
  for (const auto& [address, name] : backend::read(group, addressKey))
    if (auto entry = make(address, name)) entries.push_back(*entry);
  return entries;
}

}  // namespace

namespace {

// A host's password is kept in the secret store under the host's description and address.
std::string secretKey(const std::string& description, const CMNC::TcpipHost& host) {
  return description + " (" + CMNC::TcpipHostText(host.host) + ":" + std::to_string(host.port) + ")";
}

std::string withoutPassword(CMNC::TcpipHost host) {
  host.password.clear();
  return CMNC::TcpipAddressOf(host);
}

}  // namespace

// A password still in the stored text (an older version's, or one the secret store would not take
// then) moves to the secret store, and the text is stored again without it.
std::vector<PortEntry> loadHosts() {
  std::vector<std::pair<std::string, std::string>> entries = backend::read("hosts", "host");
  bool moved = false;
  std::vector<PortEntry> hosts;
  for (auto& [address, name] : entries) {
    CMNC::TcpipHost host = CMNC::ParseTcpipAddress(address);
    std::string error;
    if (!host.password.empty()) {
      moved = secretstore::put(secretKey(name, host), host.password, error) || moved;
    } else if (const auto secret = secretstore::get(secretKey(name, host))) {
      host.password = *secret;
      address = CMNC::TcpipAddressOf(host);
    }
    if (auto entry = storeddevice::host(address, name)) hosts.push_back(*entry);
  }
  if (moved) saveHosts(hosts);
  return hosts;
}

std::string saveHosts(const std::vector<PortEntry>& hosts) {
  std::set<std::string> kept;
  std::vector<PortEntry> stored = hosts;
  std::string warning;
  for (PortEntry& entry : stored) {
    const CMNC::TcpipHost host = CMNC::ParseTcpipAddress(entry.address);
    const std::string key = secretKey(entry.description, host);
    std::string error;
    if (host.password.empty()) {
      secretstore::remove(key);
    } else if (secretstore::put(key, host.password, error)) {
      entry.address = withoutPassword(host);
      kept.insert(key);
    } else {
      warning = "The TCP/IP passwords are kept in " + settingsPath() + ", which only you may read: " + error + ".";
    }
  }
  // The secrets of hosts that are no longer stored go with them.
  for (const auto& [address, name] : backend::read("hosts", "host"))
    if (const std::string key = secretKey(name, CMNC::ParseTcpipAddress(address)); !kept.count(key)) secretstore::remove(key);
  backend::write("hosts", "host", stored);
  return warning;
}

std::vector<PortEntry> loadBluetooth(bool bluetoothAvailable) {
  if (!bluetoothAvailable) return {};
  return load("bluetooth", "btaddr", storeddevice::bluetooth);
}

void saveBluetooth(const std::vector<PortEntry>& devices) { backend::write("bluetooth", "btaddr", devices); }

std::vector<PortEntry> loadStored(ConnectionKind kind, bool bluetoothAvailable) {
  switch (CMNC::LinkKindOf(kind).setUp) {
    case CMNC::SetUpModel::Hosts: return loadHosts();
    case CMNC::SetUpModel::Devices: return loadBluetooth(bluetoothAvailable);
    case CMNC::SetUpModel::None: break;
  }
  return {};
}

}  // namespace devicestore
