#pragma once
#include <string>
#include <vector>

#include "PortEntry.h"

// The stored TCP/IP hosts and Bluetooth devices, one implementation per platform: on Linux the
// program's settings file (~/.config/Telmora/Vestrel.conf, DeviceStoreFile.cpp over SettingsFile),
// readable by its owner only from its first byte (it may hold a password the secret store would
// not take); on Windows the
// current user's registry under "Software\Telmora\Vestrel" (DeviceStoreRegistry.cpp). Both use the
// same keys.
namespace devicestore {

// Hosts: "hosts/count", "hosts/host<i>" (host:port:, the password in the secret store: SecretStore.h),
// "hosts/name<i>". The entries loaded carry their passwords. A password the secret store would not
// take stays in the text (host:port:password) and saveHosts says so; a password found in the text
// on load is moved to the secret store.
std::vector<PortEntry> loadHosts();
std::string saveHosts(const std::vector<PortEntry>& hosts);
// Devices: "bluetooth/count", "bluetooth/btaddr<i>", "bluetooth/name<i>"; empty while Bluetooth
// is not available.
std::vector<PortEntry> loadBluetooth(bool bluetoothAvailable);
void saveBluetooth(const std::vector<PortEntry>& devices);
// The stored ports of a kind, by the set-up model its row names; none for an enumerated kind.
std::vector<PortEntry> loadStored(ConnectionKind kind, bool bluetoothAvailable);

// Where the settings live (for messages and tests).
std::string settingsPath();

}  // namespace devicestore
