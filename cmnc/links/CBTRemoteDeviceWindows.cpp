#include "CBTRemoteDevice.h"

// The Windows side of a remote device: Winsock's Bluetooth name space for the service search,
// an RFCOMM socket connected by service class (the system finds the channel).
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>
#include <bthdef.h>

#include <memory>

#include "BluetoothAvailability.h"
#include "SocketApi.h"

namespace CMNC {
namespace {

// The serial-port service class, 0x1101 on the Bluetooth base UUID.
constexpr GUID kSerialPortService = {0x00001101, 0x0000, 0x1000, {0x80, 0x00, 0x00, 0x80, 0x5F, 0x9B, 0x34, 0xFB}};

// The device as the name space's service look-up wants it: the text WSAAddressToString gives
// for its address, "(XX:XX:XX:XX:XX:XX)".
std::wstring deviceText(uint64_t address) {
  SOCKADDR_BTH socketAddress{};
  socketAddress.addressFamily = AF_BTH;
  socketAddress.btAddr = address;
  wchar_t text[64] = {};
  DWORD length = sizeof text / sizeof text[0];
  if (::WSAAddressToStringW(reinterpret_cast<sockaddr*>(&socketAddress), sizeof socketAddress, nullptr, text, &length) == 0)
    return text;
  const std::string formatted = FormatDeviceAddress(address);  // the same form, should the call fail
  return std::wstring(formatted.begin(), formatted.end());
}

// Counts the device's serial-port service records; 0 or a socket error.
int countRecords(uint64_t address, std::vector<uint32_t>& handles) {
  std::wstring device = deviceText(address);
  GUID service = kSerialPortService;
  WSAQUERYSETW query{};
  query.dwSize = sizeof query;
  query.lpServiceClassId = &service;
  query.dwNameSpace = NS_BTH;
  query.lpszContext = device.data();
  HANDLE lookup = nullptr;
  if (::WSALookupServiceBeginW(&query, LUP_FLUSHCACHE, &lookup) != 0) {
    const int error = ::WSAGetLastError();
    return error == WSASERVICE_NOT_FOUND ? 0 : error;
  }
  alignas(WSAQUERYSETW) uint8_t buffer[4096];
  for (uint32_t record = 1;; ++record) {
    DWORD size = sizeof buffer;
    if (::WSALookupServiceNextW(lookup, LUP_RETURN_BLOB, &size, reinterpret_cast<WSAQUERYSETW*>(buffer)) != 0) break;
    handles.push_back(record);  // Winsock gives no record handle: the records are numbered
  }
  ::WSALookupServiceEnd(lookup);
  return 0;
}

}  // namespace

int CBTRemoteDevice::FindSerialPortRecords(std::vector<uint32_t>& handles) const {
  handles.clear();
  if (!BluetoothAvailable() || address == 0) return 0;
  return countRecords(address, handles);
}

int CBTRemoteDevice::CountSerialPortRecords() const {
  std::vector<uint32_t> handles;
  return FindSerialPortRecords(handles) == 0 ? static_cast<int>(handles.size()) : 0;
}

// The system picks the channel when the connect names the service class.
int CBTRemoteDevice::SerialPortChannel() const { return CountSerialPortRecords() > 0 ? 0 : -1; }

// The connect names the service class and the system finds its channel: no service search
// first (it would take seconds more, and a device out of range would read as one without the
// service).
int CBTRemoteDevice::Connect(int& error) const {
  error = WSAEINVAL;
  if (address == 0) return -1;
  const int fd = socketapi::openStream(AF_BTH, BTHPROTO_RFCOMM);
  if (fd < 0) {
    error = socketapi::lastError();
    return -1;
  }
  SOCKADDR_BTH remote{};
  remote.addressFamily = AF_BTH;
  remote.btAddr = address;
  remote.serviceClassId = kSerialPortService;
  remote.port = 0;
  if (::connect(static_cast<SOCKET>(static_cast<std::intptr_t>(fd)), reinterpret_cast<sockaddr*>(&remote), sizeof remote) != 0) {
    error = socketapi::lastError();
    socketapi::closeSocket(fd);
    return -1;
  }
  error = 0;
  return fd;
}

}  // namespace CMNC
