#pragma once
#include <cstdint>
#include <functional>
#include <vector>

#include "CBTRemoteDevice.h"

namespace CMNC {

// The devices accepted by inquiries, in the order found (process-wide; the set-up dialog empties
// it before each inquiry).
std::vector<CBTRemoteDevice>& DiscoveredDevices();

// Whether a device found by an inquiry may be a receiver: its class of device is uncategorised
// (0, 0x1F00 or 0x1F01; the service-class bits above bit 12 do not matter) and it offers exactly
// one serial-port service record.
bool AcceptsDevice(uint32_t classOfDevice, int serialPortRecords);

// Inquires for about 25 s, then checks each candidate's services. Each accepted device is appended
// to DiscoveredDevices and passed to onDevice. Returns 0 or an errno value.
// One implementation per platform (BlueZ's HCI inquiry, Winsock's Bluetooth name space).
int InquireDevices(const std::function<void(const CBTRemoteDevice&)>& onDevice);

// What the set-up dialog's "Search" runs: empties DiscoveredDevices, inquires, returns them.
std::vector<CBTRemoteDevice> SearchDevices();

}  // namespace CMNC
