#pragma once
#include <QDialog>
#include <utility>

class DeviceList;
class QComboBox;
class QHBoxLayout;
class QPushButton;

// What the TCP/IP and Bluetooth set-up dialogs share: the drop-down list of stored entries with
// its "Delete" button, "OK" and "Cancel", and the controls named by their ids. The rules live in
// the wizard's set-up models; a dialog renders its model after each of the operator's actions.
class CDeviceListDialog : public QDialog {
  Q_OBJECT
 public:
  QWidget* control(int id) const;

 protected:
  explicit CDeviceListDialog(QWidget* parent);
  // Names the controls by their ids so that tests and callers reach them.
  void nameControls(std::initializer_list<std::pair<int, QWidget*>> controls);
  // Shows the list's rows and its selection.
  void showList(const DeviceList& list, bool deleteEnabled);
  // The operator chose a row (-1: none) or pressed "Delete".
  virtual void listSelected(int row) = 0;
  virtual void deletePressed() = 0;

  // The list with its "Delete" button, as a row of the layout.
  QHBoxLayout* listRow();
  // "OK" and "Cancel" at the end of a row of buttons.
  void addOkCancel(QHBoxLayout* row);

  QComboBox* list_;
  QPushButton* delete_;
  QPushButton* ok_;
  QPushButton* cancel_;
};
