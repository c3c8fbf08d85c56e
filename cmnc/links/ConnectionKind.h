#pragma once

// The kind of link to a receiver. 0 means no link.
enum class ConnectionKind : int {
  None = 0,
  Serial = 1,
  Bluetooth = 2,
  Tcpip = 3,
  Usb = 4,
};
