#include "BluetoothAvailability.h"

// Windows: Bluetooth is there when Winsock makes an RFCOMM socket and a local radio answers. The
// radio query's library is loaded at run time: a Windows without the Bluetooth stack still runs
// the program.
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bluetoothapis.h>

#include "SystemLibrary.h"

namespace CMNC {
namespace {

bool detect() {
  const SOCKET s = ::socket(AF_BTH, SOCK_STREAM, BTHPROTO_RFCOMM);
  if (s == INVALID_SOCKET) return false;
  ::closesocket(s);
  const SystemLibrary library(L"bthprops.cpl");
  using FindFirst = HBLUETOOTH_RADIO_FIND(WINAPI*)(const BLUETOOTH_FIND_RADIO_PARAMS*, HANDLE*);
  using FindClose = BOOL(WINAPI*)(HBLUETOOTH_RADIO_FIND);
  const auto findFirst = library.function<FindFirst>("BluetoothFindFirstRadio");
  const auto findClose = library.function<FindClose>("BluetoothFindRadioClose");
  bool found = false;
  if (findFirst && findClose) {
    BLUETOOTH_FIND_RADIO_PARAMS params{sizeof(BLUETOOTH_FIND_RADIO_PARAMS)};
    HANDLE radio = nullptr;
    if (const HBLUETOOTH_RADIO_FIND find = findFirst(&params, &radio)) {
      ::CloseHandle(radio);
      findClose(find);
      found = true;
    }
  }
  return found;
}

}  // namespace

bool BluetoothAvailable() {
  static const bool available = detect();
  return available;
}

}  // namespace CMNC
