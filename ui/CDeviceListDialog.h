#pragma once
#include <QDialog>
#include <utility>
#include <vector>

#include "PortEntry.h"

class QComboBox;
class QHBoxLayout;
class QPushButton;

// What the TCP/IP and Bluetooth set-up dialogs share: a working list of stored entries shown in a
// drop-down list sorted by description (each item refers to its entry), deletion, and saving in
// the order shown.
class CDeviceListDialog : public QDialog {
  Q_OBJECT
 public:
  QWidget* control(int id) const;
  const std::vector<PortEntry>& entries() const { return entries_; }

 protected:
  CDeviceListDialog(std::vector<PortEntry> entries, QWidget* parent);
  // Names the controls by their ids so that tests and callers reach them.
  void nameControls(std::initializer_list<std::pair<int, QWidget*>> controls);
  // Refills the list, selects the item of the entry (none for -1), and runs the selection change.
  void refill(int selectEntry);
  int selectedEntry() const;
  // Removes the selected entry and selects the item before it.
  void deleteSelected();
  // The entries in the order the list shows them.
  std::vector<PortEntry> shownEntries() const;
  virtual void selectionChange() = 0;

  // The list with its "Delete" button, as a row of the layout.
  QHBoxLayout* listRow();
  // "OK" and "Cancel" at the end of a row of buttons.
  void addOkCancel(QHBoxLayout* row);

  std::vector<PortEntry> entries_;
  QComboBox* list_;
  QPushButton* delete_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
