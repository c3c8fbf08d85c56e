#pragma once
#include <string>
#include <vector>

#include "FleetInventory.h"
#include "OrderFields.h"

// "--receivers FILE": the receivers an order names, a CSV of port and receiver id and, optionally,
// work order, operator and lot. A first line that begins with a column's name names the columns
// (port, receiver_id, work_order, operator, lot, in any order); without it they stand in that order.
// Blank lines and lines that begin with "#" are skipped.
struct ListedReceiver {
  std::string port;   // where it is expected; may be empty with --all (found wherever it answers)
  OrderFields order;  // order.receiverId is always given
  int line = 0;       // in the file, for the messages
};

namespace receiverlist {

inline constexpr std::size_t kMaxFileBytes = 1024 * 1024;
inline constexpr std::size_t kMaxReceivers = 1000;

// Reads the list; false with error set (naming the line) when it cannot be used: no receiver id, a
// field too long or holding control characters, an id or a port listed twice, a port missing when
// ports are needed (needPorts: without --all).
bool read(const std::string& path, bool needPorts, std::vector<ListedReceiver>& listed, std::string& error);

// The vestrel options that name a listed receiver's order: "--receiver-id ID --work-order W ...".
std::vector<std::string> orderOptions(const OrderFields& order);

// Where each listed receiver answered, from an inventory of the ports: the loads to make (a listed
// receiver and its port), the ports whose receiver is not listed, and the listed receivers that
// answered nowhere.
struct Assignment {
  struct Load {
    std::string port;
    ListedReceiver listed;
  };
  std::vector<Load> loads;
  std::vector<InventoryEntry> unlisted;       // a receiver answered that the list does not name
  std::vector<ListedReceiver> notFound;       // no port answered with its id
  std::vector<InventoryEntry> silent;         // nothing answered on the port
};
Assignment assign(const std::vector<ListedReceiver>& listed, const std::vector<InventoryEntry>& found);

}  // namespace receiverlist
