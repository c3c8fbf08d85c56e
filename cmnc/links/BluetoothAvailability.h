#pragma once

namespace CMNC {
// True when this computer has a Bluetooth adapter the loader can use (checked once).
bool BluetoothAvailable();
}  // namespace CMNC
