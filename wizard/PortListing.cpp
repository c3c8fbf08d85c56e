#include "PortListing.h"

#include "CTcpipPort.h"
#include "JsonText.h"
#include "WizardModel.h"

namespace portlisting {

const char* kindName(ConnectionKind kind) {
  switch (kind) {
    case ConnectionKind::Serial: return "serial";
    case ConnectionKind::Usb: return "usb";
    case ConnectionKind::Bluetooth: return "bluetooth";
    case ConnectionKind::Tcpip: return "tcpip";
    default: return "none";
  }
}

std::string portArgument(const PortEntry& entry) {
  switch (entry.kind) {
    case ConnectionKind::Tcpip: {
      const CMNC::TcpipHost host = CMNC::CTcpipPort::ParseAddress(entry.address);
      return "tcp:" + host.host + ":" + std::to_string(host.port);
    }
    case ConnectionKind::Bluetooth: return "bt:" + entry.address;
    case ConnectionKind::Usb: return entry.address.rfind("usb:", 0) == 0 ? entry.address : "usb:" + entry.address;
    default: return entry.address.empty() ? entry.name : entry.address;
  }
}

std::vector<ListedPort> listPorts(const Directory& directory, bool bluetoothAvailable) {
  std::vector<ListedPort> list;
  for (const auto& kind : wizard::connectionKinds(bluetoothAvailable))
    for (const PortEntry& e : directory(kind.value))
      list.push_back({e.name, e.description.empty() ? e.name : e.description, kindName(kind.value), portArgument(e)});
  return list;
}

std::string asText(const std::vector<ListedPort>& ports) {
  std::string out;
  for (const ListedPort& p : ports) out += p.name + "\t" + p.description + "\t" + p.kind + "\t" + p.port + "\n";
  return out;
}

std::string asJson(const std::vector<ListedPort>& ports) {
  std::string out = "[";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    const ListedPort& p = ports[i];
    out += (i ? ",\n " : "\n ") + std::string("{\"name\":") + json::quote(p.name) +
           ",\"description\":" + json::quote(p.description) + ",\"kind\":" + json::quote(p.kind) +
           ",\"port\":" + json::quote(p.port) + "}";
  }
  return out + (ports.empty() ? "]\n" : "\n]\n");
}

}  // namespace portlisting
