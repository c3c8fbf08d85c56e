#pragma once
#include <string>
#include <vector>

#include "ChildWait.h"
#include "PortNames.h"

// One port's answer to "who is there?".
struct InventoryEntry {
  std::string port;       // as the fleet was given it
  bool found = false;     // a receiver answered
  std::string model, id, hardware, board, firmware;  // empty: not answered
  int rate = 0;           // the speed it answered at; 0 on a link without one
  std::string reason;     // why nothing answered
};

// Asks the receiver on every port who it is, each in a "vestrel --identify" process of its own,
// at most jobs at once (0: all). Nothing is set in a receiver, nothing loaded. A signal posted to
// the wait stops the children, and the ports not asked say so.
// Used on the fleet's thread only.
class FleetInventory {
 public:
  FleetInventory(std::string vestrel, std::vector<std::string> vestrelArgs, int jobs, portnames::Passwords passwords = {})
      : vestrel_(std::move(vestrel)), vestrelArgs_(std::move(vestrelArgs)), jobs_(jobs), passwords_(std::move(passwords)) {}

  // The entries in the order of ports; stopSignal is set when a stop came.
  std::vector<InventoryEntry> run(const std::vector<std::string>& ports, ChildWait& wait, int& stopSignal);

  // The inventory as a table, and as a JSON array (one object a port).
  static std::string asText(const std::vector<InventoryEntry>& entries);
  static std::string asJson(const std::vector<InventoryEntry>& entries);
  // What one child printed (its JSON object) as the entry of this port.
  static InventoryEntry fromChild(const std::string& port, const std::string& output, int exitStatus,
                                  const std::string& lastErrorLine);

 private:
  std::string vestrel_;
  std::vector<std::string> vestrelArgs_;  // the speed to try first, when given
  int jobs_;
  portnames::Passwords passwords_;  // reach each child through its environment
};
