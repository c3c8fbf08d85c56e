#include <gtest/gtest.h>

#include <vector>

#include "BluetoothInquiry.h"
#include "CBTRemoteDevice.h"
#include "CBluetoothPort.h"
#include "CUsbPort.h"
#include "UsbDescriptors.h"

using namespace CMNC;

namespace {

// Configuration descriptor: interface 0 with the given endpoints (address, attributes) and
// optional extra descriptors after the interface descriptor.
std::vector<uint8_t> configuration(const std::vector<std::pair<uint8_t, uint8_t>>& endpoints,
                                   const std::vector<uint8_t>& extra = {}) {
  std::vector<uint8_t> d = {9, 2, 0, 0, 1, 1, 0, 0x80, 50};
  const std::vector<uint8_t> iface = {9, 4, 0, 0, static_cast<uint8_t>(endpoints.size()), 0xFF, 0, 0, 0};
  d.insert(d.end(), iface.begin(), iface.end());
  d.insert(d.end(), extra.begin(), extra.end());
  for (const auto& [address, attributes] : endpoints) {
    const std::vector<uint8_t> ep = {7, 5, address, attributes, 0x40, 0, 0};
    d.insert(d.end(), ep.begin(), ep.end());
  }
  d[2] = static_cast<uint8_t>(d.size());
  d[3] = static_cast<uint8_t>(d.size() >> 8);
  return d;
}

bool walk(const std::vector<uint8_t>& d, UsbEndpoints& e, std::string& error) {
  return FindBulkEndpoints(d.data(), d.size(), e, error);
}

}  // namespace

TEST(UsbDescriptors, FindsBulkEndpoints) {
  UsbEndpoints e;
  std::string error;
  ASSERT_TRUE(walk(configuration({{0x81, 2}, {0x02, 2}}), e, error));
  EXPECT_EQ(e.in, 0x81);
  EXPECT_EQ(e.out, 0x02);
  ASSERT_TRUE(walk(configuration({{0x83, 3}, {0x81, 2}, {0x01, 2}}), e, error));  // an interrupt pipe is fine
  EXPECT_EQ(e.in, 0x81);
  ASSERT_TRUE(walk(configuration({{0x81, 2}, {0x02, 2}}, {5, 0x24, 0, 1, 0x10}), e, error));  // class descriptor skipped
}

TEST(UsbDescriptors, RefusesWhatCannotCarryTheLink) {
  UsbEndpoints e;
  std::string error;
  EXPECT_FALSE(walk(configuration({{0x81, 2}}), e, error));
  EXPECT_EQ(error, "2 endpoints were not found.");
  EXPECT_FALSE(walk(configuration({{0x81, 1}, {0x02, 2}}), e, error));  // isochronous
  EXPECT_EQ(error, "Can't initialize interfaces");
  std::vector<uint8_t> zeroLength = configuration({{0x81, 2}, {0x02, 2}});
  zeroLength[18] = 0;  // a descriptor of length 0 must not stall the walk
  EXPECT_FALSE(walk(zeroLength, e, error));
  std::vector<uint8_t> cut = configuration({{0x81, 2}, {0x02, 2}});
  cut.resize(cut.size() - 3);  // shorter than its declared total
  EXPECT_FALSE(walk(cut, e, error));
  EXPECT_FALSE(FindBulkEndpoints(nullptr, 0, e, error));
  std::vector<uint8_t> overrun = configuration({{0x81, 2}, {0x02, 2}});
  overrun[18] = 200;
  EXPECT_FALSE(walk(overrun, e, error));
}

TEST(UsbPort, AddressesAndMissingDevices) {
  int bus = 0;
  std::string ports;
  ASSERT_TRUE(CUsbPort::ParseAddress("3-1.4", bus, ports));
  EXPECT_EQ(bus, 3);
  EXPECT_EQ(ports, "1.4");
  EXPECT_FALSE(CUsbPort::ParseAddress("3", bus, ports));
  EXPECT_FALSE(CUsbPort::ParseAddress("x-1", bus, ports));
  EXPECT_FALSE(CUsbPort::ParseAddress("/dev/ttyUSB0", bus, ports));
  CUsbPort port;
  EXPECT_FALSE(port.Open("250-9.9.9"));
  EXPECT_FALSE(port.GetErrorText().empty());
  EXPECT_FALSE(port.IsOpen());
  uint8_t b[4];
  EXPECT_EQ(port.Read(b, 4, 10, 0), -1);
  EXPECT_EQ(port.Write(b, 4, 10), -1);
  EXPECT_TRUE(port.Purge(15));
}

TEST(Bluetooth, DeviceAddressText) {
  EXPECT_EQ(ParseDeviceAddress("(00:1A:7D:DA:71:13)"), 0x001A7DDA7113ull);
  EXPECT_EQ(ParseDeviceAddress("(0G:1A:7D:DA:71:13)"), 0x001A7DDA7113ull);  // G counts as 0
  EXPECT_EQ(ParseDeviceAddress("00:1A:7D:DA:71:13"), 0u);
  EXPECT_EQ(ParseDeviceAddress("(00:1A:7D:DA:71:1)"), 0u);
  EXPECT_EQ(ParseDeviceAddress("(00:1A:7D:DA:71:133)"), 0u);
  EXPECT_EQ(ParseDeviceAddress("(00-1A-7D-DA-71-13)"), 0u);
  EXPECT_EQ(ParseDeviceAddress("(00::1A:7D:DA:71:1)"), 0u);
  EXPECT_EQ(ParseDeviceAddress(""), 0u);
  CBTRemoteDevice device("", 0x001A7DDA7113ull, 0);
  EXPECT_EQ(device.addressText, "(00:1A:7D:DA:71:13)");
  EXPECT_EQ(device.name, "(00:1A:7D:DA:71:13)");
  device.Set("Rover", 0x0123456789ABull, 0x1F00);
  EXPECT_EQ(device.addressText, "(01:23:45:67:89:AB)");
  EXPECT_EQ(device.name, "Rover");
  const CBTRemoteDevice copy = device;
  EXPECT_EQ(copy.classOfDevice, 0x1F00u);
}

TEST(Bluetooth, DeviceFilter) {
  EXPECT_TRUE(AcceptsDevice(0x1F00, 1));
  EXPECT_TRUE(AcceptsDevice(0x001F01, 1));
  EXPECT_TRUE(AcceptsDevice(0, 1));
  EXPECT_TRUE(AcceptsDevice(0x201F00, 1));  // service bits do not matter
  EXPECT_FALSE(AcceptsDevice(0x5A020C, 1));  // a phone
  EXPECT_FALSE(AcceptsDevice(0x000104, 1));  // a computer
  EXPECT_FALSE(AcceptsDevice(0, 2));
  EXPECT_FALSE(AcceptsDevice(0x1F00, 0));
}

TEST(Bluetooth, PortWithABrokenAddress) {
  CBluetoothPort port;
  EXPECT_FALSE(port.Open("(00-1A-7D-DA-71-13)"));
  EXPECT_NE(port.GetErrorText().find("Not a Bluetooth device address"), std::string::npos);
  EXPECT_FALSE(port.IsOpen());
  uint8_t b[4];
  EXPECT_EQ(port.Read(b, 4, 10, 0), -1);
}
