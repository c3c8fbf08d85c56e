#include "PortDiscovery.h"

#include <algorithm>
#include <chrono>

#include <boost/regex.hpp>

#include "BluetoothAvailability.h"
#include "ChildProcess.h"
#include "ChildWait.h"
#include "DeviceStore.h"
#include "JsonEvents.h"
#include "LinkKinds.h"

namespace {
constexpr int kListingTimeoutMs = 30000;  // the port list asks udev and the Bluetooth stack
constexpr int kWaitSliceMs = 100;
}  // namespace

bool portsFromListing(const std::string& listing, const std::string& match, std::vector<std::string>& ports,
                      std::string& error) {
  const jsonevents::Json list = jsonevents::Json::parse(listing, nullptr, false);
  if (!list.is_array()) return error = "vestrel --list-ports --json printed no port list.", false;
  const boost::regex pattern(match.empty() ? std::string(".*") : match);
  for (const jsonevents::Json& port : list) {
    if (!port.is_object()) continue;
    const std::string value = jsonevents::text(port, "port");
    if (value.empty()) continue;
    if (boost::regex_search(jsonevents::text(port, "name"), pattern) ||
        boost::regex_search(jsonevents::text(port, "description"), pattern))
      ports.push_back(value);
  }
  return true;
}

void addStoredPorts(const std::vector<PortEntry>& stored, const std::string& match, std::vector<std::string>& ports) {
  const boost::regex pattern(match.empty() ? std::string(".*") : match);
  for (const PortEntry& e : stored) {
    const std::string port = CMNC::PortTextOf(e);
    if ((boost::regex_search(e.name, pattern) || boost::regex_search(e.description, pattern)) &&
        std::find(ports.begin(), ports.end(), port) == ports.end())
      ports.push_back(port);
  }
}

bool discoverPorts(const std::string& vestrel, const std::string& match, std::vector<std::string>& ports,
                   std::string& error) {
  ChildWait wait;
  ChildProcess child(wait);
  if (!child.start(vestrel, {"--list-ports", "--json"}, {}, error)) return false;
  std::string out;
  char buffer[4096];
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kListingTimeoutMs);
  ChildExit exit;
  for (bool ended = false; !ended;) {
    if (std::chrono::steady_clock::now() > deadline) return error = "vestrel --list-ports did not answer within 30 s.", false;
    wait.wait({&child}, kWaitSliceMs);
    std::size_t n = 0;
    while (child.isOpen(ChildProcess::Stream::Out) && child.read(ChildProcess::Stream::Out, buffer, sizeof buffer, n) == ChildProcess::Read::Data)
      out.append(buffer, n);
    child.read(ChildProcess::Stream::Err, buffer, sizeof buffer, n);  // what it says there is not needed
    ended = !child.isOpen(ChildProcess::Stream::Out) && child.reap(exit);
  }
  if (exit.status != 0) return error = "vestrel --list-ports failed.", false;
  if (!portsFromListing(out, match, ports, error)) return false;
  // The stored hosts and devices from the store itself: each child finds its stored password.
  addStoredPorts(devicestore::loadHosts(), match, ports);
  addStoredPorts(devicestore::loadBluetooth(CMNC::BluetoothAvailable()), match, ports);
  return true;
}
