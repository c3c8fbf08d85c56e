#include "PortListing.h"

#include "JsonText.h"
#include "LinkKinds.h"
#include "WizardModel.h"

namespace portlisting {

std::vector<ListedPort> listPorts(const Directory& directory, bool bluetoothAvailable) {
  std::vector<ListedPort> list;
  for (const auto& kind : wizard::connectionKinds(bluetoothAvailable))
    for (const PortEntry& e : directory(kind.value))
      list.push_back({e.name, e.description.empty() ? e.name : e.description, CMNC::LinkKindOf(kind.value).name, CMNC::PortTextOf(e)});
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
