#include "PortEnumeration.h"

// The Linux port lists, from udev.
#include <libudev.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "UsbVendors.h"

namespace CMNC {
namespace {

using Udev = std::unique_ptr<udev, decltype(&udev_unref)>;
using UdevEnum = std::unique_ptr<udev_enumerate, decltype(&udev_enumerate_unref)>;
using UdevDevice = std::unique_ptr<udev_device, decltype(&udev_device_unref)>;

std::string Property(udev_device* d, const char* key) {
  const char* v = udev_device_get_property_value(d, key);
  return v ? v : "";
}

std::string Attribute(udev_device* d, const char* key) {
  const char* v = udev_device_get_sysattr_value(d, key);
  return v ? v : "";
}

std::string FirstOf(udev_device* d, std::initializer_list<const char*> keys) {
  for (const char* k : keys) {
    std::string v = Property(d, k);
    if (!v.empty()) {
      std::replace(v.begin(), v.end(), '_', ' ');
      return v;
    }
  }
  return {};
}

// Calls visit for every device of a subsystem, in the system's enumeration order.
template <typename Visit>
void ForEachDevice(udev* ctx, const char* subsystem, Visit visit) {
  UdevEnum en(udev_enumerate_new(ctx), &udev_enumerate_unref);
  if (!en) return;
  udev_enumerate_add_match_subsystem(en.get(), subsystem);
  if (udev_enumerate_scan_devices(en.get()) < 0) return;
  udev_list_entry* entry = nullptr;
  udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(en.get())) {
    UdevDevice dev(udev_device_new_from_syspath(ctx, udev_list_entry_get_name(entry)), &udev_device_unref);
    if (dev) visit(dev.get());
  }
}

bool IsLegacySerial(udev_device* dev, const std::string& name) {
  if (name.rfind("ttyS", 0) != 0) return false;
  // The kernel lists every possible 8250 port; only those with a UART (type not 0) exist.
  const std::string type = Attribute(dev, "type");
  return !type.empty() && type != "0";
}

}  // namespace

std::vector<PortEntry> ListSerialPorts() {
  std::vector<PortEntry> withDevice, legacy;
  Udev ctx(udev_new(), &udev_unref);
  if (!ctx) return {};
  ForEachDevice(ctx.get(), "tty", [&](udev_device* dev) {
    const char* node = udev_device_get_devnode(dev);
    const char* sys = udev_device_get_sysname(dev);
    if (!node || !sys) return;
    const std::string name = sys;
    udev_device* parent = udev_device_get_parent(dev);
    if (!parent) return;  // virtual terminals and ptys have no device behind them
    if (IsLegacySerial(dev, name)) {
      legacy.push_back({name, "", node, ConnectionKind::Serial});
      return;
    }
    if (name.rfind("ttyS", 0) == 0) return;
    std::string description = DescribeDevice(FirstOf(dev, {"ID_MODEL_FROM_DATABASE", "ID_MODEL"}),
                                             FirstOf(dev, {"ID_VENDOR_FROM_DATABASE", "ID_VENDOR"}),
                                             Property(dev, "ID_SERIAL_SHORT"));
    if (description.empty()) description = name;
    withDevice.push_back({name, description + " (" + name + ")", node, ConnectionKind::Serial});
  });
  withDevice.insert(withDevice.end(), legacy.begin(), legacy.end());
  return withDevice;
}

std::vector<PortEntry> ListUsbReceivers() {
  std::vector<PortEntry> list;
  Udev ctx(udev_new(), &udev_unref);
  if (!ctx) return list;
  ForEachDevice(ctx.get(), "usb", [&](udev_device* dev) {
    const char* type = udev_device_get_devtype(dev);
    if (!type || std::string(type) != "usb_device") return;
    const uint16_t vendor = static_cast<uint16_t>(std::strtoul(Attribute(dev, "idVendor").c_str(), nullptr, 16));
    if (!IsReceiverVendor(vendor)) return;
    const std::string location = udev_device_get_sysname(dev);  // BUS-PORT.PORT...
    std::string serial = Attribute(dev, "serial");
    std::string description = serial.empty() ? location : location + " (" + serial + ")";
    list.push_back({"USB", description, location, ConnectionKind::Usb});
  });
  return list;
}

}  // namespace CMNC
