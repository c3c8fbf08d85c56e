// The pre-flight check's questions answered on Windows: the serial ports SetupAPI and the
// registry's serial-port map list, one open of the port, a bridge's latency timer from its device
// parameters. Windows has no device groups, holders' list or ModemManager: those questions get the
// answers that raise nothing.
#include <windows.h>
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>
#include <cwctype>

#include "BluetoothAvailability.h"
#include "PortEnumeration.h"
#include "SystemProbe.h"
#include "WindowsText.h"

namespace CMNC {
namespace {

bool sameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
         });
}

// "COM5" from "COM5", "\\.\COM5" or "\\.\com5".
std::string portName(const std::string& path) {
  const std::string prefix = "\\\\.\\";
  return path.rfind(prefix, 0) == 0 ? path.substr(prefix.size()) : path;
}

std::optional<PortEntry> listedPort(const std::string& path) {
  const std::string name = portName(path);
  for (const PortEntry& e : ListSerialPorts())
    if (sameName(e.name, name)) return e;
  return std::nullopt;
}

// A DWORD of the device parameters of the port named (the key a port's driver keeps its settings
// in: "PortName", and an FTDI bridge's "LatencyTimer").
std::optional<DWORD> deviceParameter(const std::string& port, const wchar_t* value) {
  const HDEVINFO list = ::SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
  if (list == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<DWORD> found;
  SP_DEVINFO_DATA device{};
  device.cbSize = sizeof device;
  for (DWORD i = 0; !found && ::SetupDiEnumDeviceInfo(list, i, &device); ++i) {
    const HKEY key = ::SetupDiOpenDevRegKey(list, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
    if (key == INVALID_HANDLE_VALUE) continue;
    wchar_t name[64] = {};
    DWORD size = sizeof name - sizeof name[0];
    DWORD number = 0, numberSize = sizeof number;
    if (::RegQueryValueExW(key, L"PortName", nullptr, nullptr, reinterpret_cast<BYTE*>(name), &size) == ERROR_SUCCESS &&
        sameName(windowstext::utf8(name), port) &&
        ::RegQueryValueExW(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &numberSize) == ERROR_SUCCESS)
      found = number;
    ::RegCloseKey(key);
  }
  ::SetupDiDestroyDeviceInfoList(list);
  return found;
}

class WindowsProbe : public SystemProbe {
 public:
  std::string resolve(const std::string& path) const override {
    const auto port = listedPort(path);
    return port ? port->name : "";
  }
  bool isCharacterDevice(const std::string& path) const override { return listedPort(path).has_value(); }
  TtyNode ttyNode(const std::string&) const override { return TtyNode::SerialDevice; }
  OpenResult openOnce(const std::string& path) const override {
    const std::wstring device = windowstext::wide("\\\\.\\" + portName(path));
    const HANDLE h = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
      const DWORD error = ::GetLastError();
      return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION ? OpenResult::HeldExclusively : OpenResult::Failed;
    }
    ::CloseHandle(h);
    return OpenResult::Terminal;
  }
  bool mayReadWrite(const std::string&) const override { return true; }
  std::string groupOf(const std::string&) const override { return ""; }
  bool inGroup(const std::string&) const override { return true; }
  bool listedInGroup(const std::string&) const override { return true; }
  std::string userName() const override { return ""; }
  std::vector<DeviceHolder> holders(const std::string&) const override { return {}; }
  bool modemManagerRunning() const override { return false; }
  std::optional<int> latencyTimerMs(const std::string& path) const override {
    const std::optional<DWORD> timer = deviceParameter(portName(path), L"LatencyTimer");
    return timer ? std::optional<int>(static_cast<int>(*timer)) : std::nullopt;
  }
  std::optional<std::string> udevProperty(const std::string&, const std::string&) const override { return std::nullopt; }
  std::string usbDeviceNode(const std::string& location) const override {
    for (const PortEntry& e : ListUsbReceivers())
      if (sameName(e.address, location)) return e.address;
    return "";
  }
  std::string installedUdevRule() const override { return ""; }
  bool bluetoothAdapterPresent() const override { return BluetoothAvailable(); }
  std::string deviceDescription(const std::string& path) const override {
    const auto port = listedPort(path);
    return port ? port->description : "";
  }
};

}  // namespace

std::unique_ptr<SystemProbe> MakeSystemProbe() { return std::make_unique<WindowsProbe>(); }

}  // namespace CMNC
