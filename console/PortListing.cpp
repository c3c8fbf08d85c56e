#include "PortListing.h"

#include "JsonEvents.h"
#include "LinkKinds.h"
#include "WizardModel.h"

namespace portlisting {

std::vector<ListedPort> listPorts(const Directory& directory, bool bluetoothAvailable) {
  std::vector<ListedPort> list;
  for (const auto& kind : wizard::connectionKinds(bluetoothAvailable))
    if (kind.unusable.empty())
      for (const PortEntry& e : directory(kind.value))
        list.push_back({e.name, e.description.empty() ? e.name : e.description, CMNC::LinkKindOf(kind.value).name,
                        CMNC::PortTextOf(e)});
  return list;
}

std::string asText(const std::vector<ListedPort>& ports) {
  std::string out;
  for (const ListedPort& p : ports) out += p.name + "\t" + p.description + "\t" + p.kind + "\t" + p.port + "\n";
  return out;
}

std::string asJson(const std::vector<ListedPort>& ports) {
  jsonevents::Json list = jsonevents::Json::array();
  for (const ListedPort& p : ports)
    list.push_back({{"name", p.name}, {"description", p.description}, {"kind", p.kind}, {"port", p.port}});
  return jsonevents::line(list);
}

}  // namespace portlisting
