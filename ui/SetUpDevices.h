#pragma once
#include "ConnectionKind.h"

class QWidget;

namespace setup {
// Opens the set-up dialog of the kind (TCP/IP hosts, Bluetooth devices); true when it ended with OK.
bool openSetUpDialog(ConnectionKind kind, bool bluetoothAvailable, QWidget* parent);
}  // namespace setup
