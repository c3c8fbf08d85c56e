#include "BluetoothAvailability.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>

namespace CMNC {

bool BluetoothAvailable() {
  static const bool available = hci_get_route(nullptr) >= 0;
  return available;
}

}  // namespace CMNC
