// The stored devices in the settings file: "$XDG_CONFIG_HOME/Telmora/Vestrel.conf" (by default
// ~/.config/...), groups "hosts" and "bluetooth" with count, host<i> or btaddr<i>, and name<i>:
// the file and keys Qt's settings wrote in earlier versions, read and written without Qt.
#include <algorithm>
#include <cstdlib>

#include "DeviceStore.h"
#include "DeviceStoreBackend.h"
#include "SettingsFile.h"

namespace devicestore {

std::string settingsPath() {
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const char* home = std::getenv("HOME");
  const std::string base = config && *config == '/' ? config : std::string(home ? home : "") + "/.config";
  return base + "/Telmora/Vestrel.conf";
}

namespace backend {

std::vector<std::pair<std::string, std::string>> read(const char* group, const char* addressKey) {
  SettingsFile file(settingsPath());
  file.load();
  std::vector<std::pair<std::string, std::string>> entries;
  const int n = std::clamp(std::atoi(file.value(group, "count").c_str()), 0, kMaxEntries);
  for (int i = 0; i < n; ++i) {
    const std::string index = std::to_string(i);
    entries.emplace_back(file.value(group, addressKey + index), file.value(group, "name" + index));
  }
  return entries;
}

void write(const char* group, const char* addressKey, const std::vector<PortEntry>& entries) {
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

}  // namespace backend
}  // namespace devicestore
