#include "BluetoothAvailability.h"

#include <bluetooth/bluetooth.h>
#include <bluetooth/hci.h>
#include <bluetooth/hci_lib.h>
#include <bluetooth/rfcomm.h>
#include <sys/socket.h>
#include <unistd.h>

namespace CMNC {
namespace {

// A Bluetooth socket can be made and a local adapter exists.
bool detect() {
  const int fd = ::socket(AF_BLUETOOTH, SOCK_STREAM | SOCK_CLOEXEC, BTPROTO_RFCOMM);
  if (fd < 0) return false;
  ::close(fd);
  return hci_get_route(nullptr) >= 0;
}

}  // namespace

bool BluetoothAvailable() {
  static const bool available = detect();
  return available;
}

}  // namespace CMNC
