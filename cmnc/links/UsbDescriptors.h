#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace CMNC {

// The bulk endpoints of interface 0 of a USB configuration.
struct UsbEndpoints {
  uint8_t in = 0;   // bulk IN endpoint address (top bit set)
  uint8_t out = 0;  // bulk OUT endpoint address
  uint16_t inPacket = 0;
  uint16_t outPacket = 0;
};

// Walks a configuration descriptor (as the device returns it) to interface 0, alternate setting
// 0, and finds its bulk IN and OUT endpoints. Class-specific descriptors in between are skipped;
// every length is checked against the bytes present. False with the error text:
// "Can't initialize interfaces" when interface 0 holds an isochronous or control endpoint, or the
// descriptor is damaged; "2 endpoints were not found." when it lacks a bulk IN or OUT endpoint.
bool FindBulkEndpoints(const uint8_t* config, std::size_t size, UsbEndpoints& endpoints, std::string& error);

}  // namespace CMNC
