#include "DeviceStore.h"

// The stored devices in the settings file: "$XDG_CONFIG_HOME/Telmora/Vestrel.conf" (by default
// ~/.config/...), groups "hosts" and "bluetooth" with count, host<i> or btaddr<i>, and name<i>:
// the file and keys Qt's settings wrote in earlier versions, read and written without Qt.
#include <algorithm>
#include <cstdlib>

#include "SettingsFile.h"
#include "StoredDevice.h"

namespace devicestore {
namespace {

constexpr int kMaxEntries = 10000;

int count(const SettingsFile& file, const char* group) {
  return std::clamp(std::atoi(file.value(group, "count").c_str()), 0, kMaxEntries);
}

template <typename Make>
std::vector<PortEntry> load(const char* group, const char* addressKey, Make make) {
  SettingsFile file(settingsPath());
  file.load();
  std::vector<PortEntry> entries;
  const int n = count(file, group);
  for (int i = 0; i < n; ++i) {
    const std::string index = std::to_string(i);
    if (auto entry = make(file.value(group, addressKey + index), file.value(group, "name" + index)))
      entries.push_back(*entry);
  }
  return entries;
}

void save(const char* group, const char* addressKey, const std::vector<PortEntry>& entries) {
  SettingsFile file(settingsPath());
  file.load();
  std::vector<std::pair<std::string, std::string>> values;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    values.emplace_back(addressKey + std::to_string(i), entries[i].address);
    values.emplace_back("name" + std::to_string(i), entries[i].description);
  }
  values.emplace_back("count", std::to_string(entries.size()));
  std::sort(values.begin(), values.end());  // in the order Qt keeps them
  file.replaceGroup(group, values);
  std::string error;
  file.save(error);
}

}  // namespace

std::string settingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = config && *config == '/' ? config : std::string(home ? home : "") + "/.config";
  return base + "/Telmora/Vestrel.conf";
}

std::vector<PortEntry> loadHosts() { return load("hosts", "host", storeddevice::host); }

void saveHosts(const std::vector<PortEntry>& hosts) { save("hosts", "host", hosts); }

std::vector<PortEntry> loadBluetooth(bool bluetoothAvailable) {
  if (!bluetoothAvailable) return {};
  return load("bluetooth", "btaddr", storeddevice::bluetooth);
}

void saveBluetooth(const std::vector<PortEntry>& devices) { save("bluetooth", "btaddr", devices); }

}  // namespace devicestore
