#include "PortDiscovery.h"

#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include <boost/regex.hpp>

#include "BluetoothAvailability.h"
#include "ChildProcess.h"
#include "DeviceStore.h"
#include "JsonValue.h"
#include "LinkKinds.h"

namespace {
constexpr int kListingTimeoutMs = 30000;  // the port list asks udev and the Bluetooth stack
}  // namespace

bool portsFromListing(const std::string& listing, const std::string& match, std::vector<std::string>& ports,
                      std::string& error) {
  const std::optional<JsonValue> list = parseJson(listing);
  if (!list || list->type != JsonValue::Type::Array) return error = "vestrel --list-ports --json printed no port list.", false;
  const boost::regex pattern(match.empty() ? std::string(".*") : match);
  for (const JsonValue& port : list->items) {
    const std::string value = port.string("port");
    if (value.empty()) continue;
    if (boost::regex_search(port.string("name"), pattern) || boost::regex_search(port.string("description"), pattern))
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
  ChildProcess child;
  if (!child.start(vestrel, {"--list-ports", "--json"}, {}, error)) return false;
  std::string out;
  char buffer[4096];
  while (child.outFd() >= 0) {
    pollfd fd{child.outFd(), POLLIN, 0};
    const int ready = ::poll(&fd, 1, kListingTimeoutMs);
    if (ready == 0) return error = "vestrel --list-ports did not answer within 30 s.", false;
    if (ready < 0 && errno == EINTR) continue;
    const ssize_t n = ::read(child.outFd(), buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) child.closeOut();
    else out.append(buffer, static_cast<std::size_t>(n));
  }
  int status = 0;
  while (!child.reap(status)) ::usleep(10000);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return error = "vestrel --list-ports failed.", false;
  if (!portsFromListing(out, match, ports, error)) return false;
  // The stored hosts and devices from the store itself: each child finds its stored password.
  addStoredPorts(devicestore::loadHosts(), match, ports);
  addStoredPorts(devicestore::loadBluetooth(CMNC::BluetoothAvailable()), match, ports);
  return true;
}
