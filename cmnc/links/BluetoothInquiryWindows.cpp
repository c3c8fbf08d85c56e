#include "BluetoothInquiry.h"

// The inquiry on Windows: a device look-up in Winsock's Bluetooth name space with a fresh inquiry
// of the written length, each result's name, address and class of device, then its services.
#include <winsock2.h>
#include <ws2bth.h>
#include <windows.h>

#include <string>

#include "BluetoothAvailability.h"
#include "WindowsText.h"

namespace CMNC {
namespace {

constexpr UCHAR kInquiryLength = 20;  // in units of 1.28 s (about 25 s)
// The query's LAP field is reserved and must be zero: the system makes a general inquiry.
constexpr ULONG kReservedLap = 0;
constexpr DWORD kResultFlags = LUP_RETURN_NAME | LUP_RETURN_ADDR | LUP_RETURN_TYPE;

// One device of the look-up's answer.
CBTRemoteDevice deviceOf(const WSAQUERYSETW& result) {
  uint64_t address = 0;
  if (result.dwNumberOfCsAddrs > 0 && result.lpcsaBuffer && result.lpcsaBuffer->RemoteAddr.lpSockaddr)
    address = reinterpret_cast<const SOCKADDR_BTH*>(result.lpcsaBuffer->RemoteAddr.lpSockaddr)->btAddr;
  // The name space gives the class of device as the first field of the service class.
  const uint32_t classOfDevice = result.lpServiceClassId ? result.lpServiceClassId->Data1 : 0;
  const std::string name = result.lpszServiceInstanceName ? windowstext::utf8(result.lpszServiceInstanceName) : "";
  return CBTRemoteDevice(name, address, classOfDevice);
}

}  // namespace

int InquireDevices(const std::function<void(const CBTRemoteDevice&)>& onDevice) {
  if (!BluetoothAvailable()) return 0;
  BTH_QUERY_DEVICE inquiry{kReservedLap, kInquiryLength};
  BLOB blob{sizeof inquiry, reinterpret_cast<BYTE*>(&inquiry)};
  WSAQUERYSETW query{};
  query.dwSize = sizeof query;
  query.dwNameSpace = NS_BTH;
  query.lpBlob = &blob;
  HANDLE lookup = nullptr;
  if (::WSALookupServiceBeginW(&query, LUP_CONTAINERS | LUP_FLUSHCACHE, &lookup) != 0) {
    const int error = ::WSAGetLastError();
    return error == WSASERVICE_NOT_FOUND ? 0 : error;
  }
  alignas(WSAQUERYSETW) uint8_t buffer[4096];
  std::vector<CBTRemoteDevice> candidates;
  for (;;) {
    DWORD size = sizeof buffer;
    auto* result = reinterpret_cast<WSAQUERYSETW*>(buffer);
    if (::WSALookupServiceNextW(lookup, kResultFlags, &size, result) != 0) break;
    candidates.push_back(deviceOf(*result));
  }
  ::WSALookupServiceEnd(lookup);
  // The service searches after the look-up has ended: each connects to the device.
  for (const CBTRemoteDevice& device : candidates) {
    if (device.address == 0 || !AcceptsDevice(device.classOfDevice, device.CountSerialPortRecords())) continue;
    DiscoveredDevices().push_back(device);
    if (onDevice) onDevice(device);
  }
  return 0;
}

}  // namespace CMNC
