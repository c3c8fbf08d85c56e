#include "PortEnumeration.h"

// The Windows port lists: SetupAPI's present devices with their friendly names, and the port
// names the serial drivers publish in the registry.
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>

#include "UsbVendors.h"
#include "WindowsText.h"

namespace CMNC {
namespace {

struct DeviceListCloser {
  void operator()(void* list) const { ::SetupDiDestroyDeviceInfoList(list); }
};
using DeviceList = std::unique_ptr<void, DeviceListCloser>;

struct KeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

DeviceList openList(const GUID* classGuid, const wchar_t* enumerator, DWORD flags) {
  HDEVINFO list = ::SetupDiGetClassDevsW(classGuid, enumerator, nullptr, flags);
  return DeviceList(list == INVALID_HANDLE_VALUE ? nullptr : list);
}

std::wstring stringValue(HKEY key, const wchar_t* name) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  DWORD type = 0;
  if (::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS) return {};
  if (type != REG_SZ && type != REG_MULTI_SZ) return {};
  return std::wstring(buffer);  // the first string of a multi-string
}

std::wstring deviceProperty(HDEVINFO list, SP_DEVINFO_DATA& device, DWORD property) {
  wchar_t buffer[512] = {};
  if (!::SetupDiGetDeviceRegistryPropertyW(list, &device, property, nullptr, reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer - sizeof(wchar_t), nullptr))
    return {};
  return std::wstring(buffer);
}

Key deviceKey(HDEVINFO list, SP_DEVINFO_DATA& device) {
  HKEY key = ::SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
  return Key(key == INVALID_HANDLE_VALUE ? nullptr : key);
}

template <typename Visit>
void forEachDevice(HDEVINFO list, Visit visit) {
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; ::SetupDiEnumDeviceInfo(list, i, &device); ++i) visit(device);
}

int comNumber(const std::string& name) {
  return name.size() > 3 && name.compare(0, 3, "COM") == 0 ? std::atoi(name.c_str() + 3) : 0;
}

// Ports of drivers without a device node of class Ports (virtual ports, some older drivers)
// appear only in the registry's serial-port map.
std::set<std::string> registryPortNames() {
  std::set<std::string> names;
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &raw) != ERROR_SUCCESS) return names;
  const Key key(raw);
  for (DWORD i = 0;; ++i) {
    wchar_t valueName[256];
    DWORD nameLength = 256;
    wchar_t data[64] = {};
    DWORD dataSize = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = ::RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS && type == REG_SZ) names.insert(windowstext::utf8(data));
  }
  return names;
}

// The path of a USB device's first WinUSB interface, from the interface class its driver
// registered ("DeviceInterfaceGUIDs" in the device's key).
std::string interfacePath(HDEVINFO list, SP_DEVINFO_DATA& device) {
  const Key key = deviceKey(list, device);
  if (!key) return {};
  std::wstring guidText = stringValue(key.get(), L"DeviceInterfaceGUIDs");
  if (guidText.empty()) guidText = stringValue(key.get(), L"DeviceInterfaceGUID");
  GUID guid{};
  if (guidText.empty() || ::CLSIDFromString(guidText.c_str(), &guid) != NOERROR) return {};
  wchar_t instance[512] = {};
  if (!::SetupDiGetDeviceInstanceIdW(list, &device, instance, 511, nullptr)) return {};
  const DeviceList interfaces = openList(&guid, instance, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (!interfaces) return {};
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  if (!::SetupDiEnumDeviceInterfaces(interfaces.get(), nullptr, &guid, 0, &data)) return {};
  DWORD needed = 0;
  ::SetupDiGetDeviceInterfaceDetailW(interfaces.get(), &data, nullptr, 0, &needed, nullptr);
  if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) return {};
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[needed]());
  auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.get());
  detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
  if (!::SetupDiGetDeviceInterfaceDetailW(interfaces.get(), &data, detail, needed, nullptr, nullptr)) return {};
  return windowstext::utf8(detail->DevicePath);
}

// "USB\VID_1209&PID_0001..." gives 0x1209.
uint16_t vendorOf(const std::wstring& hardwareId) {
  const std::size_t at = hardwareId.find(L"VID_");
  return at == std::wstring::npos ? 0 : static_cast<uint16_t>(std::wcstoul(hardwareId.c_str() + at + 4, nullptr, 16));
}

}  // namespace

std::vector<PortEntry> ListSerialPorts() {
  std::vector<PortEntry> ports;
  std::set<std::string> seen;
  if (const DeviceList list = openList(&GUID_DEVCLASS_PORTS, nullptr, DIGCF_PRESENT)) {
    forEachDevice(list.get(), [&](SP_DEVINFO_DATA& device) {
      const Key key = deviceKey(list.get(), device);
      if (!key) return;
      const std::string name = windowstext::utf8(stringValue(key.get(), L"PortName"));
      if (comNumber(name) == 0 || !seen.insert(name).second) return;  // printer ports are of this class too
      std::string friendly = windowstext::utf8(deviceProperty(list.get(), device, SPDRP_FRIENDLYNAME));
      if (friendly.empty()) friendly = name;
      else if (friendly.find("(" + name + ")") == std::string::npos) friendly += " (" + name + ")";
      ports.push_back({name, friendly, name, ConnectionKind::Serial});
    });
  }
  for (const std::string& name : registryPortNames())
    if (comNumber(name) > 0 && seen.insert(name).second) ports.push_back({name, name, name, ConnectionKind::Serial});
  std::sort(ports.begin(), ports.end(), [](const PortEntry& a, const PortEntry& b) { return comNumber(a.name) < comNumber(b.name); });
  return ports;
}

std::vector<PortEntry> ListUsbReceivers() {
  std::vector<PortEntry> list;
  const DeviceList devices = openList(nullptr, L"USB", DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (!devices) return list;
  forEachDevice(devices.get(), [&](SP_DEVINFO_DATA& device) {
    if (!IsReceiverVendor(vendorOf(deviceProperty(devices.get(), device, SPDRP_HARDWAREID)))) return;
    const std::string path = interfacePath(devices.get(), device);
    if (path.empty()) return;  // no WinUSB driver bound to it
    std::string description = windowstext::utf8(deviceProperty(devices.get(), device, SPDRP_FRIENDLYNAME));
    if (description.empty()) description = windowstext::utf8(deviceProperty(devices.get(), device, SPDRP_DEVICEDESC));
    if (description.empty()) description = "USB receiver";
    list.push_back({"USB", description, "usb:" + path, ConnectionKind::Usb});
  });
  return list;
}

}  // namespace CMNC
