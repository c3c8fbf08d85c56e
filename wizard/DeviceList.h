#pragma once
#include <string>
#include <vector>

#include "PortEntry.h"

// The working list of a set-up dialog: the stored entries, shown sorted by description (each row
// refers to its entry, equal descriptions keep their order), one selected row or none. Both front
// ends render it; it never touches the store.
class DeviceList {
 public:
  explicit DeviceList(std::vector<PortEntry> entries);

  const std::vector<PortEntry>& entries() const { return entries_; }
  // The descriptions in the order shown.
  std::vector<std::string> rows() const;
  // The entries in the order shown: what OK stores.
  std::vector<PortEntry> shown() const;

  int selectedRow() const;                 // -1 for none
  int selectedEntry() const { return selected_; }
  void selectRow(int row);                 // out of range selects none
  void selectEntry(int entry);             // -1 selects none
  const PortEntry* selected() const;

  // Appends an entry and selects it.
  void append(PortEntry entry);
  // Removes the selected entry and selects the row before it (the first when it was the first and
  // rows remain). Nothing happens without a selection.
  void deleteSelected();
  // Changes the selected entry's name and description (shown sorted again, still selected).
  void renameSelected(const std::string& description);

 private:
  std::vector<int> order() const;

  std::vector<PortEntry> entries_;
  int selected_ = -1;  // an index into entries_
};
