#include "LinkKinds.h"

#include <algorithm>
#include <cctype>

#include "AbortSignal.h"
#include "CBTRemoteDevice.h"
#include "CBluetoothPort.h"
#include "CSerialPort.h"
#include "CTcpipPort.h"
#include "CUsbPort.h"
#include "HostLookUp.h"
#include "PortEnumeration.h"

namespace CMNC {
namespace {

// A file upload over a serial line puts this much at once, whatever the block-size list says.
constexpr int kSerialUploadBlockBytes = 2048;

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

bool startsWithAnyCase(const std::string& text, const std::string& prefix) {
  return text.size() >= prefix.size() && lower(text.substr(0, prefix.size())) == prefix;
}

template <typename Port>
std::unique_ptr<CAbstractReceiverPort> make() {
  return std::make_unique<Port>();
}

// Serial devices: "COMn" in any case is COMn; anything else is a device name or path.
bool parseSerial(const std::string& rest, PortText& out, std::string& error) {
  if (rest.empty()) {
    error = "The port is empty: name a serial port (COM1, ttyUSB0, /dev/ttyUSB0) or use tcp:, usb: or bt:.";
    return false;
  }
  const bool com = rest.size() > 3 && lower(rest.substr(0, 3)) == "com" &&
                   std::all_of(rest.begin() + 3, rest.end(), [](unsigned char c) { return std::isdigit(c); });
  out.text = out.address = com ? "COM" + rest.substr(3) : rest;
  return true;
}

// A COM port's device path ("\\.\COM5", as the port list has it) is shown as its name, "COM5",
// which "/port" takes too.
std::string formatSerial(const std::string& address) {
  const std::string device = "\\\\.\\";
  const std::string name = address.rfind(device, 0) == 0 ? address.substr(device.size()) : address;
  const bool com = name.size() > 3 && lower(name.substr(0, 3)) == "com" &&
                   std::all_of(name.begin() + 3, name.end(), [](unsigned char c) { return std::isdigit(c); });
  return com ? "COM" + name.substr(3) : address;
}

bool serialIdentity(const std::string& address, std::vector<std::string>& keys, std::string&) {
  keys = {"serial:" + CSerialPort::DeviceIdentity(address)};
  return true;
}

// USB: "BUS-PORT[.PORT...]" on Linux, the device path the enumeration gives on Windows.
bool parseUsb(const std::string& rest, PortText& out, std::string& error) {
  int bus = 0;
  std::string ports;
  if (!CUsbPort::ParseAddress(rest, bus, ports) && rest.rfind("\\\\", 0) != 0) {
    error = "Not a USB port: usb:" + rest + " (expected usb:BUS-PORT[.PORT...] as \"vestrel --list-ports\" shows it).";
    return false;
  }
  out.text = "usb:" + rest;
  out.address = rest;
  return true;
}

std::string formatUsb(const std::string& address) { return address; }

bool usbIdentity(const std::string& address, std::vector<std::string>& keys, std::string&) {
  keys = {"usb:" + lower(address)};
  return true;
}

// Bluetooth: the device's address, "(XX:XX:XX:XX:XX:XX)" or without the brackets.
bool parseBluetooth(const std::string& rest, PortText& out, std::string& error) {
  const uint64_t address = ParseDeviceAddress(rest.rfind('(', 0) == 0 ? rest : "(" + rest + ")");
  if (address == 0) {
    error = "Not a Bluetooth device address: bt:" + rest + " (expected bt:(XX:XX:XX:XX:XX:XX)).";
    return false;
  }
  out.address = FormatDeviceAddress(address);
  out.text = "bt:" + out.address;
  return true;
}

std::string formatBluetooth(const std::string& address) { return address; }

bool bluetoothIdentity(const std::string& address, std::vector<std::string>& keys, std::string&) {
  keys = {"bt:" + FormatDeviceAddress(ParseDeviceAddress(address))};
  return true;
}

// TCP/IP: "HOST:PORT[:PASSWORD]", an IPv6 host in brackets.
bool parseTcpip(const std::string& rest, PortText& out, std::string& error) {
  const TcpipHost h = ParseTcpipAddress(rest);
  if (h.host.empty() || h.port == 0) {
    error = "Not a TCP/IP port: tcp:" + (h.host.empty() ? std::string("...") : TcpipHostText(h.host) + ":...") +
            " (expected tcp:HOST:PORT, the port a number from 1 to 65535; an IPv6 address in brackets, "
            "tcp:[::1]:4001).";
    return false;
  }
  out.text = "tcp:" + h.description;
  out.address = TcpipAddressOf(h);
  out.password = h.password;
  return true;
}

std::string formatTcpip(const std::string& address) { return ParseTcpipAddress(address).description; }

// The host's addresses with the port: "localhost" and "127.0.0.1" meet.
bool tcpipIdentity(const std::string& address, std::vector<std::string>& keys, std::string& error) {
  const TcpipHost h = ParseTcpipAddress(address);
  const AbortSignal never;
  const auto resolved = HostLookUp::run(h.host, h.port, never, error);
  if (!resolved) return false;
  keys.clear();
  for (const std::string& text : resolved->texts()) keys.push_back("tcp:" + text);
  return true;
}

const std::vector<LinkKind>& table() {
  static const std::vector<LinkKind> kinds = {
      {ConnectionKind::Serial, "", "serial", "Serial (RS232, USB-to-RS232 bridge, paired via Bluetooth)",
       "Serial port:", false, {kSerialUploadBlockBytes, false, true, true}, make<CSerialPort>, ListSerialPorts,
       parseSerial, formatSerial, serialIdentity, Preflight::Serial, SetUpModel::None, false, false, false},
      {ConnectionKind::Usb, "usb:", "usb", "USB", "Device:", false, {0, false, false, false}, make<CUsbPort>,
       ListUsbReceivers, parseUsb, formatUsb, usbIdentity, Preflight::Usb, SetUpModel::None, false, false, false},
      {ConnectionKind::Bluetooth, "bt:", "bluetooth", "Bluetooth", "Device:", true, {0, true, false, false},
       make<CBluetoothPort>, nullptr, parseBluetooth, formatBluetooth, bluetoothIdentity, Preflight::BluetoothAdapter,
       SetUpModel::Devices, false, false, true},
      {ConnectionKind::Tcpip, "tcp:", "tcpip", "TCP/IP (Ethernet)", "Device:", true, {0, true, false, false},
       make<CTcpipPort>, nullptr, parseTcpip, formatTcpip, tcpipIdentity, Preflight::Network, SetUpModel::Hosts, true,
       true, false},
  };
  return kinds;
}

const LinkKind& rowOfText(const std::string& text) {
  for (const LinkKind& k : table())
    if (*k.prefix && startsWithAnyCase(text, k.prefix)) return k;
  return table().front();
}

}  // namespace

const std::vector<LinkKind>& LinkKinds() { return table(); }

const LinkKind& LinkKindOf(ConnectionKind kind) {
  for (const LinkKind& k : table())
    if (k.kind == kind) return k;
  return table().front();
}

ConnectionKind KindOfPortText(const std::string& text) { return rowOfText(text).kind; }

bool HasLinkPrefix(const std::string& text) { return *rowOfText(text).prefix != '\0'; }

bool ParsePortText(const std::string& text, PortText& out, std::string& error) {
  const LinkKind& k = rowOfText(text);
  PortText parsed;
  parsed.kind = k.kind;
  if (!k.parse(text.substr(std::char_traits<char>::length(k.prefix)), parsed, error)) return false;
  out = std::move(parsed);
  return true;
}

void SetPassword(PortText& port, const std::string& password) {
  if (port.kind != ConnectionKind::Tcpip) return;
  TcpipHost h = ParseTcpipAddress(port.address);
  h.password = password;
  port.address = TcpipAddressOf(h);
  port.password = password;
}

std::string TakePassword(PortEntry& entry) {
  if (!LinkKindOf(entry.kind).secretInAddress) return "";
  TcpipHost h = ParseTcpipAddress(entry.address);
  std::string password = std::move(h.password);
  h.password.clear();
  entry.address = TcpipAddressOf(h);
  return password;
}

PortEntry WithPassword(const PortEntry& entry, const std::string& password) {
  if (!LinkKindOf(entry.kind).secretInAddress || password.empty()) return entry;
  PortEntry joined = entry;
  TcpipHost h = ParseTcpipAddress(entry.address);
  h.password = password;
  joined.address = TcpipAddressOf(h);
  return joined;
}

PortEntry EntryOf(const PortText& port, const std::string& description) {
  return PortEntry{port.text, description, port.address, port.kind};
}

std::string PortTextOf(const PortEntry& entry) {
  const LinkKind& k = LinkKindOf(entry.kind);
  return k.prefix + k.format(entry.address.empty() ? entry.name : entry.address);
}

std::string ShownPortText(const std::string& text) {
  PortText parsed;
  std::string error;
  if (ParsePortText(text, parsed, error)) return parsed.text;
  if (KindOfPortText(text) != ConnectionKind::Tcpip) return text;
  const TcpipHost h = ParseTcpipAddress(text.substr(4));  // malformed: the host at most
  std::string shown = "tcp:" + TcpipHostText(h.host);
  if (h.port) shown.append(":").append(std::to_string(h.port));
  return shown;
}

bool IdentityOf(const PortEntry& entry, std::vector<std::string>& keys, std::string& error) {
  return LinkKindOf(entry.kind).identity(entry.address.empty() ? entry.name : entry.address, keys, error);
}

bool SameReceiver(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  return std::any_of(a.begin(), a.end(), [&](const std::string& key) { return std::find(b.begin(), b.end(), key) != b.end(); });
}

bool HidePortPasswords(int argc, char** argv) {
  bool found = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto equals = arg.find('=');
    const std::size_t start = equals != std::string::npos && startsWithAnyCase(arg.substr(equals + 1), "tcp:") ? equals + 1 : 0;
    if (!startsWithAnyCase(arg.substr(start), "tcp:")) continue;
    const TcpipHost h = ParseTcpipAddress(arg.substr(start + 4));
    if (h.password.empty()) continue;
    std::fill(argv[i] + arg.size() - h.password.size() - 1, argv[i] + arg.size(), '\0');  // ":PASSWORD"
    found = true;
  }
  return found;
}

}  // namespace CMNC
