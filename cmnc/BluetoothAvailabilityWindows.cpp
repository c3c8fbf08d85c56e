#include "BluetoothAvailability.h"

// Windows: Bluetooth is there when Winsock makes an RFCOMM socket and a local radio answers.
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bluetoothapis.h>

namespace CMNC {
namespace {

bool detect() {
  const SOCKET s = ::socket(AF_BTH, SOCK_STREAM, BTHPROTO_RFCOMM);
  if (s == INVALID_SOCKET) return false;
  ::closesocket(s);
  BLUETOOTH_FIND_RADIO_PARAMS params{sizeof(BLUETOOTH_FIND_RADIO_PARAMS)};
  HANDLE radio = nullptr;
  const HBLUETOOTH_RADIO_FIND find = ::BluetoothFindFirstRadio(&params, &radio);
  if (!find) return false;
  ::CloseHandle(radio);
  ::BluetoothFindRadioClose(find);
  return true;
}

}  // namespace

bool BluetoothAvailable() {
  static const bool available = detect();
  return available;
}

}  // namespace CMNC
