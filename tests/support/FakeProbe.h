#pragma once
// A system whose every answer the test sets, for the pre-flight check's tests.
#include <optional>
#include <string>
#include <vector>

#include "SystemProbe.h"

// A system whose every answer the test sets.
struct FakeProbe final : CMNC::SystemProbe {
  std::string real = "/dev/ttyUSB0";
  bool charDevice = true, access = true, member = false, listed = false;
  CMNC::TtyNode node = CMNC::TtyNode::SerialDevice;
  CMNC::OpenResult opened = CMNC::OpenResult::Terminal;
  mutable int opens = 0;  // what a check costs a real port: each open toggles its modem lines
  bool modemManager = false, bluetooth = true;
  std::string group = "dialout", usbNode = "/dev/bus/usb/001/004", rule;
  std::optional<std::string> ignore;
  std::optional<int> latencyTimer;
  std::vector<CMNC::DeviceHolder> holding;

  std::string resolve(const std::string&) const override { return real; }
  bool isCharacterDevice(const std::string&) const override { return charDevice; }
  CMNC::TtyNode ttyNode(const std::string&) const override { return node; }
  CMNC::OpenResult openOnce(const std::string&) const override { return ++opens, opened; }
  bool mayReadWrite(const std::string&) const override { return access; }
  std::string groupOf(const std::string&) const override { return group; }
  bool inGroup(const std::string&) const override { return member; }
  bool listedInGroup(const std::string&) const override { return listed; }
  std::string userName() const override { return "surveyor"; }
  std::vector<CMNC::DeviceHolder> holders(const std::string&) const override { return holding; }
  bool modemManagerRunning() const override { return modemManager; }
  std::optional<int> latencyTimerMs(const std::string&) const override { return latencyTimer; }
  std::optional<std::string> udevProperty(const std::string&, const std::string&) const override { return ignore; }
  std::string usbDeviceNode(const std::string&) const override { return usbNode; }
  std::string installedUdevRule() const override { return rule; }
  bool bluetoothAdapterPresent() const override { return bluetooth; }
};
