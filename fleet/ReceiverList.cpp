#include "ReceiverList.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>

#include "PortNames.h"

namespace receiverlist {
namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

std::string trimmed(const std::string& s) {
  const auto first = s.find_first_not_of(" \t\r");
  if (first == std::string::npos) return "";
  return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// One CSV line's cells: commas split, double quotes hold commas and doubled quotes.
bool cellsOf(const std::string& line, std::vector<std::string>& cells) {
  cells.assign(1, "");
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') cells.back() += '"', ++i;
    else if (c == '"') quoted = !quoted;
    else if (c == ',' && !quoted) cells.emplace_back();
    else cells.back() += c;
  }
  for (std::string& cell : cells) cell = trimmed(cell);
  return !quoted;
}

const char* const kColumns[] = {"port", "receiver_id", "work_order", "operator", "lot"};

std::string* fieldOf(ListedReceiver& r, const std::string& column) {
  if (column == "port") return &r.port;
  if (column == "receiver_id") return &r.order.receiverId;
  if (column == "work_order") return &r.order.workOrder;
  if (column == "operator") return &r.order.operatorName;
  if (column == "lot") return &r.order.lot;
  return nullptr;
}

// The line's receiver; "" or what is wrong with it.
std::string receiverOf(const std::vector<std::string>& cells, const std::vector<std::string>& columns, bool needPorts,
                       ListedReceiver& r) {
  if (cells.size() > columns.size()) return "it has " + std::to_string(cells.size()) + " cells, the list " +
                                            std::to_string(columns.size()) + " columns";
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (cells[i].empty()) continue;
    if (const std::string refusal = orderfields::refusal(columns[i], cells[i]); !refusal.empty()) return refusal;
    *fieldOf(r, columns[i]) = cells[i];
  }
  if (r.order.receiverId.empty()) return "it names no receiver id";
  if (needPorts && r.port.empty()) return "it names no port (the port is needed unless --all finds the receivers)";
  return "";
}

// A first line that names columns rather than a receiver: its first cell is a column's name.
bool isHeader(const std::vector<std::string>& cells) {
  const std::string first = lower(cells[0]);
  return std::find(std::begin(kColumns), std::end(kColumns), first) != std::end(kColumns);
}

// The columns a header line names; false with error set when it names one that is none.
bool headerColumns(const std::vector<std::string>& cells, std::vector<std::string>& columns, std::string& error) {
  columns.clear();
  for (const std::string& cell : cells) {
    const std::string name = lower(cell);
    if (std::find(std::begin(kColumns), std::end(kColumns), name) == std::end(kColumns) ||
        std::find(columns.begin(), columns.end(), name) != columns.end()) {
      error = "its header names \"" + cell + "\", which is no column or stands twice (port, receiver_id, "
              "work_order, operator, lot)";
      return false;
    }
    columns.push_back(name);
  }
  return true;
}

std::string twice(const std::vector<ListedReceiver>& listed) {
  for (std::size_t i = 0; i < listed.size(); ++i)
    for (std::size_t j = i + 1; j < listed.size(); ++j) {
      if (orderfields::sameReceiverId(listed[i].order.receiverId, listed[j].order.receiverId))
        return "lines " + std::to_string(listed[i].line) + " and " + std::to_string(listed[j].line) +
               " list the receiver " + listed[j].order.receiverId + " twice";
      if (!listed[i].port.empty() && portnames::samePort(listed[i].port, listed[j].port))
        return "lines " + std::to_string(listed[i].line) + " and " + std::to_string(listed[j].line) +
               " list the port " + listed[j].port + " twice";
    }
  return "";
}

}  // namespace

bool read(const std::string& path, bool needPorts, std::vector<ListedReceiver>& listed, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "--receivers: cannot read " + path + ".";
    return false;
  }
  std::vector<std::string> columns(std::begin(kColumns), std::end(kColumns));
  std::string line, problem;
  std::size_t bytes = 0;
  for (int number = 1; std::getline(in, line); ++number) {
    bytes += line.size() + 1;
    if (bytes > kMaxFileBytes || listed.size() > kMaxReceivers) problem = "it is longer than the fleet takes";
    std::vector<std::string> cells;
    if (problem.empty() && (trimmed(line).empty() || trimmed(line)[0] == '#')) continue;
    if (problem.empty() && !cellsOf(line, cells)) problem = "a quote is not closed";
    if (problem.empty() && listed.empty() && isHeader(cells)) {
      if (headerColumns(cells, columns, problem)) continue;
    }
    ListedReceiver r;
    r.line = number;
    if (problem.empty()) problem = receiverOf(cells, columns, needPorts, r);
    if (!problem.empty()) {
      error = "--receivers " + path + ", line " + std::to_string(number) + ": " + problem + ".";
      return false;
    }
    listed.push_back(std::move(r));
  }
  if (listed.empty()) problem = "it lists no receiver";
  if (problem.empty()) problem = twice(listed);
  if (!problem.empty()) error = "--receivers " + path + ": " + problem + ".";
  return problem.empty();
}

std::vector<std::string> orderOptions(const OrderFields& order) {
  std::vector<std::string> options;
  const std::pair<const char*, const std::string*> fields[] = {{"--receiver-id", &order.receiverId},
                                                               {"--work-order", &order.workOrder},
                                                               {"--operator", &order.operatorName},
                                                               {"--lot", &order.lot}};
  for (const auto& [name, value] : fields)
    if (!value->empty()) options.insert(options.end(), {name, *value});
  return options;
}

Assignment assign(const std::vector<ListedReceiver>& listed, const std::vector<InventoryEntry>& found) {
  Assignment result;
  std::vector<bool> placed(listed.size(), false);
  for (const InventoryEntry& entry : found) {
    if (!entry.found) {
      result.silent.push_back(entry);
      continue;
    }
    const auto it = std::find_if(listed.begin(), listed.end(),
                                 [&entry](const ListedReceiver& r) { return orderfields::sameReceiverId(r.order.receiverId, entry.id); });
    if (it == listed.end()) {
      result.unlisted.push_back(entry);
      continue;
    }
    const auto index = static_cast<std::size_t>(it - listed.begin());
    if (placed[index]) {  // two ports answered with one id: neither of the later is the listed unit for sure
      result.unlisted.push_back(entry);
      continue;
    }
    placed[index] = true;
    result.loads.push_back({entry.port, *it});
  }
  for (std::size_t i = 0; i < listed.size(); ++i)
    if (!placed[i]) result.notFound.push_back(listed[i]);
  return result;
}

}  // namespace receiverlist
