#pragma once
#include <vector>

#include "PortEntry.h"

namespace CMNC {

// The process's port list, refilled by EnumeratePorts and read by the wizard (on its thread only).
std::vector<PortEntry>& PortList();

// Empties the port list and refills it for the kind: Serial lists the tty devices (those with a
// device behind them first, with a description, then the remaining serial ports with hardware);
// Usb lists the receivers of the vendor-id table; Bluetooth and Tcpip leave it empty (the
// wizard fills them from the stored entries). Never fails: what cannot be read is skipped.
void EnumeratePorts(ConnectionKind kind);

// The two passes, for tests and the wizard.
std::vector<PortEntry> ListSerialPorts();
std::vector<PortEntry> ListUsbReceivers();

// Text shown for a device: model, vendor and serial number when known.
std::string DescribeDevice(const std::string& model, const std::string& vendor, const std::string& serial);

}  // namespace CMNC
