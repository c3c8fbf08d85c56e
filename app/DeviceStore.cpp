#include "DeviceStore.h"

#include "DeviceStoreBackend.h"
#include "LinkKinds.h"
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

std::vector<PortEntry> loadHosts() { return load("hosts", "host", storeddevice::host); }

void saveHosts(const std::vector<PortEntry>& hosts) { backend::write("hosts", "host", hosts); }

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
