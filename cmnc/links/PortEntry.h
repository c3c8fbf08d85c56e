#pragma once
#include <string>

#include "ConnectionKind.h"

// One port the operator can choose: what the port box shows and what the port's Open receives.
struct PortEntry {
  std::string name;         // short name: the device name for serial ports, "USB" for USB devices
  std::string description;  // text shown in the port box
  std::string address;      // what the port's Open receives
  ConnectionKind kind = ConnectionKind::None;
};
