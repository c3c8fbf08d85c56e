#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace CMNC {

// The 48-bit address from its text form "(XX:XX:XX:XX:XX:XX)" (most significant byte first);
// 0 when the text is not in that form.
uint64_t ParseDeviceAddress(const std::string& text);
// The text form of an address.
std::string FormatDeviceAddress(uint64_t address);

// One remote Bluetooth device.
class CBTRemoteDevice {
 public:
  CBTRemoteDevice() { Set("", 0, 0); }
  CBTRemoteDevice(const std::string& name, uint64_t address, uint32_t classOfDevice) {
    Set(name, address, classOfDevice);
  }
  virtual ~CBTRemoteDevice() = default;
  CBTRemoteDevice(const CBTRemoteDevice&) = default;
  CBTRemoteDevice& operator=(const CBTRemoteDevice&) = default;

  void Set(const std::string& name, uint64_t address, uint32_t classOfDevice);
  // What Connect says when the device has no serial-port service.
  static constexpr int kNoSerialPortService = -1;

  // Handles of the device's serial-port service records (SDP search for UUID 0x1101); returns 0
  // or a socket error.
  int FindSerialPortRecords(std::vector<uint32_t>& handles) const;
  int CountSerialPortRecords() const;
  // The RFCOMM channel of the serial-port service, or -1.
  int SerialPortChannel() const;
  // A socket connected to the serial-port service, or -1 with error set (kNoSerialPortService or
  // a socket error for socketapi::errorText). Blocks for the service search and the connect.
  int Connect(int& error) const;

  std::string name;
  std::string addressText;
  uint64_t address = 0;
  uint32_t classOfDevice = 0;
};

}  // namespace CMNC
