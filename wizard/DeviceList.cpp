#include "DeviceList.h"

#include <algorithm>
#include <numeric>

DeviceList::DeviceList(std::vector<PortEntry> entries) : entries_(std::move(entries)) {}

std::vector<int> DeviceList::order() const {
  std::vector<int> order(entries_.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return entries_[static_cast<std::size_t>(a)].description < entries_[static_cast<std::size_t>(b)].description;
  });
  return order;
}

std::vector<std::string> DeviceList::rows() const {
  std::vector<std::string> rows;
  for (int i : order()) rows.push_back(entries_[static_cast<std::size_t>(i)].description);
  return rows;
}

std::vector<PortEntry> DeviceList::shown() const {
  std::vector<PortEntry> shown;
  for (int i : order()) shown.push_back(entries_[static_cast<std::size_t>(i)]);
  return shown;
}

int DeviceList::selectedRow() const {
  if (selected_ < 0) return -1;
  const std::vector<int> rows = order();
  return static_cast<int>(std::find(rows.begin(), rows.end(), selected_) - rows.begin());
}

void DeviceList::selectRow(int row) {
  const std::vector<int> rows = order();
  selected_ = row >= 0 && row < static_cast<int>(rows.size()) ? rows[static_cast<std::size_t>(row)] : -1;
}

void DeviceList::selectEntry(int entry) {
  selected_ = entry >= 0 && entry < static_cast<int>(entries_.size()) ? entry : -1;
}

const PortEntry* DeviceList::selected() const {
  return selected_ < 0 ? nullptr : &entries_[static_cast<std::size_t>(selected_)];
}

void DeviceList::append(PortEntry entry) {
  entries_.push_back(std::move(entry));
  selected_ = static_cast<int>(entries_.size()) - 1;
}

void DeviceList::deleteSelected() {
  const int row = selectedRow();
  if (row < 0) return;
  entries_.erase(entries_.begin() + selected_);
  selectRow(std::max(row - 1, 0));
}

void DeviceList::renameSelected(const std::string& description) {
  if (selected_ < 0) return;
  PortEntry& e = entries_[static_cast<std::size_t>(selected_)];
  e.name = e.description = description;
}
