#include "PortEnumeration.h"

// The Windows port lists: the present devices of the setup class "Ports" with their friendly
// names and then the ports only the registry's serial-port map knows, unsorted, in the system's
// order; the receivers' USB device interfaces by their device paths.
#include <windows.h>
#include <initguid.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

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

std::wstring instanceId(HDEVINFO list, SP_DEVINFO_DATA& device) {
  wchar_t id[257] = {};
  if (!::SetupDiGetDeviceInstanceIdW(list, &device, id, 256, nullptr)) return {};
  return id;
}

// A text value under the local machine's "SYSTEM\CurrentControlSet\Enum\" + path.
std::wstring enumValue(const std::wstring& path, const wchar_t* name) {
  HKEY raw = nullptr;
  const std::wstring key = L"SYSTEM\\CurrentControlSet\\Enum\\" + path;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &raw) != ERROR_SUCCESS) return {};
  const Key opened(raw);
  return stringValue(opened.get(), name);
}

template <typename Visit>
void forEachDevice(HDEVINFO list, Visit visit) {
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; ::SetupDiEnumDeviceInfo(list, i, &device); ++i) visit(device);
}

// "COM" (exact case), a digit, and more.
bool isComName(const std::string& name) {
  return name.size() > 3 && name.compare(0, 3, "COM") == 0 && name[3] >= '0' && name[3] <= '9';
}

PortEntry serialEntry(const std::string& name, const std::string& description) {
  return {name, description, "\\\\.\\" + name, ConnectionKind::Serial};
}

std::vector<GUID> portClasses() {
  std::vector<GUID> classes(32);
  DWORD required = 0;
  if (!::SetupDiClassGuidsFromNameW(L"Ports", classes.data(), static_cast<DWORD>(classes.size()), &required)) {
    if (required <= classes.size()) return {};
    classes.resize(required);
    if (!::SetupDiClassGuidsFromNameW(L"Ports", classes.data(), required, &required)) return {};
  }
  classes.resize(std::min<std::size_t>(required, classes.size()));
  return classes;
}

// Ports of drivers without a device of class Ports (virtual ports, some older drivers) appear
// only in the registry's serial-port map, in the order the registry enumerates them.
std::vector<std::string> registryPortNames() {
  std::vector<std::string> names;
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &raw) != ERROR_SUCCESS)
    return names;
  const Key key(raw);
  for (DWORD i = 0;; ++i) {
    wchar_t valueName[256];
    DWORD nameLength = 256;
    wchar_t data[129] = {};
    DWORD dataSize = sizeof data - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = ::RegEnumValueW(key.get(), i, valueName, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &dataSize);
    if (rc == ERROR_NO_MORE_ITEMS) break;
    if (rc == ERROR_SUCCESS && type == REG_SZ) names.push_back(windowstext::utf8(data));
  }
  return names;
}

// The interface classes a receiver's driver registered ("DeviceInterfaceGUIDs" in the device's
// key: the WinUSB binding writes it there).
std::vector<GUID> receiverInterfaceClasses() {
  std::vector<GUID> classes;
  const DeviceList devices = openList(nullptr, L"USB", DIGCF_PRESENT | DIGCF_ALLCLASSES);
  if (!devices) return classes;
  forEachDevice(devices.get(), [&](SP_DEVINFO_DATA& device) {
    const std::wstring hardwareId = deviceProperty(devices.get(), device, SPDRP_HARDWAREID);
    const std::size_t at = hardwareId.find(L"VID_");
    if (at == std::wstring::npos ||
        !IsReceiverVendor(static_cast<uint16_t>(std::wcstoul(hardwareId.c_str() + at + 4, nullptr, 16))))
      return;
    HKEY raw = ::SetupDiOpenDevRegKey(devices.get(), &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (raw == INVALID_HANDLE_VALUE) return;
    const Key key(raw);
    std::wstring text = stringValue(key.get(), L"DeviceInterfaceGUIDs");
    if (text.empty()) text = stringValue(key.get(), L"DeviceInterfaceGUID");
    GUID guid{};
    if (text.empty() || ::CLSIDFromString(text.c_str(), &guid) != NOERROR) return;
    for (const GUID& known : classes)
      if (::IsEqualGUID(known, guid)) return;
    classes.push_back(guid);
  });
  return classes;
}

// "\\?\usb#vid_1209&": the prefix of a receiver's device path.
bool isReceiverPath(const std::string& path) {
  for (uint16_t vendor : kReceiverVendorIds) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "\\\\?\\usb#vid_%04x&", vendor);
    if (path.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

void appendReceivers(const GUID& interfaceClass, std::vector<PortEntry>& list) {
  const DeviceList interfaces = openList(&interfaceClass, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (!interfaces) return;
  SP_DEVICE_INTERFACE_DATA data{};
  data.cbSize = sizeof data;
  for (DWORD i = 0; ::SetupDiEnumDeviceInterfaces(interfaces.get(), nullptr, &interfaceClass, i, &data); ++i) {
    DWORD needed = 0;
    ::SetupDiGetDeviceInterfaceDetailW(interfaces.get(), &data, nullptr, 0, &needed, nullptr);
    if (needed < sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W)) continue;
    std::vector<uint8_t> buffer(needed);
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof device;
    if (!::SetupDiGetDeviceInterfaceDetailW(interfaces.get(), &data, detail, needed, nullptr, &device)) continue;
    const std::string path = windowstext::utf8(detail->DevicePath);
    if (!isReceiverPath(path)) continue;
    const std::wstring id = instanceId(interfaces.get(), device);
    if (id.empty()) continue;
    std::string description = windowstext::utf8(id.substr(id.find_last_of(L'\\') + 1));  // the serial-number part
    const std::wstring location = enumValue(id, L"LocationInformation");
    if (!location.empty()) description = windowstext::utf8(location) + " (" + description + ")";
    list.push_back({"USB", description, path, ConnectionKind::Usb});
  }
}

}  // namespace

std::vector<PortEntry> ListSerialPorts() {
  std::vector<PortEntry> ports;
  for (const GUID& portClass : portClasses()) {
    const DeviceList list = openList(&portClass, nullptr, DIGCF_PRESENT);
    if (!list) continue;
    forEachDevice(list.get(), [&](SP_DEVINFO_DATA& device) {
      std::wstring display = deviceProperty(list.get(), device, SPDRP_FRIENDLYNAME);
      if (display.empty()) display = deviceProperty(list.get(), device, SPDRP_DEVICEDESC);
      if (display.empty()) return;
      const std::wstring id = instanceId(list.get(), device);
      if (id.empty()) return;
      const std::string name = windowstext::utf8(enumValue(id + L"\\Device Parameters", L"PortName"));
      if (isComName(name)) ports.push_back(serialEntry(name, windowstext::utf8(display)));
    });
  }
  std::vector<std::string> mapOnly;
  for (const std::string& name : registryPortNames()) {
    const bool listed = std::any_of(ports.begin(), ports.end(), [&](const PortEntry& e) { return e.name == name; });
    if (!listed && std::find(mapOnly.begin(), mapOnly.end(), name) == mapOnly.end()) mapOnly.push_back(name);
  }
  for (const std::string& name : mapOnly) ports.push_back(serialEntry(name, ""));
  return ports;
}

std::vector<PortEntry> ListUsbReceivers() {
  std::vector<PortEntry> list;
  for (const GUID& interfaceClass : receiverInterfaceClasses()) appendReceivers(interfaceClass, list);
  return list;
}

}  // namespace CMNC
