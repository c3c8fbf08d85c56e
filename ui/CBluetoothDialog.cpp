#include "CBluetoothDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "BluetoothInquiry.h"
#include "DeviceStore.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CBluetoothDialog::CBluetoothDialog(bool bluetoothAvailable, QWidget* parent)
    : CDeviceListDialog(devicestore::loadBluetooth(bluetoothAvailable), parent) {
  setWindowTitle(QStringLiteral("Set up Bluetooth devices"));
  search = [] {
    CMNC::DiscoveredDevices().clear();
    CMNC::InquireDevices({});
    return CMNC::DiscoveredDevices();
  };
  foundList_ = new QListWidget(this);
  description_ = new QLineEdit(this);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  search_ = new QPushButton(QStringLiteral("Search"), this);
  nameControls({{1043, foundList_}, {1036, description_}, {1034, add_}, {1037, search_}});
  connect(foundList_, &QListWidget::itemSelectionChanged, this, [this] { foundSelectionChange(); });
  connect(add_, &QPushButton::clicked, this, [this] { addOrUpdate(); });
  connect(search_, &QPushButton::clicked, this, [this] { runSearch(); });

  auto* top = listRow();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Description:"), description_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(search_);
  addOkCancel(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(foundList_, 1);
  layout->addLayout(form);
  layout->addLayout(buttons);
  refill(entries_.empty() ? -1 : 0);
}

void CBluetoothDialog::selectionChange() {
  const int entry = selectedEntry();
  delete_->setEnabled(entry >= 0);
  if (entry < 0) {
    editing_ = false;
    add_->setText(QStringLiteral("Add"));
    add_->setEnabled(!foundList_->selectedItems().isEmpty());
    return;
  }
  {
    QSignalBlocker block(foundList_);
    foundList_->clearSelection();
  }
  editing_ = true;
  description_->setText(q(entries_[static_cast<std::size_t>(entry)].description));
  add_->setText(QStringLiteral("Update"));
  add_->setEnabled(true);
}

void CBluetoothDialog::foundSelectionChange() {
  const QList<QListWidgetItem*> selected = foundList_->selectedItems();
  if (selected.isEmpty()) {
    add_->setEnabled(editing_);
    return;
  }
  {
    QSignalBlocker block(list_);
    list_->setCurrentIndex(-1);
  }
  delete_->setEnabled(false);
  editing_ = false;
  const auto& device = found_[static_cast<std::size_t>(selected.front()->data(Qt::UserRole).toInt())];
  description_->setText(q(device.name));
  add_->setText(QStringLiteral("Add"));
  add_->setEnabled(true);
}

void CBluetoothDialog::runSearch() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(foundList_), static_cast<QWidget*>(delete_),
                     static_cast<QWidget*>(add_), static_cast<QWidget*>(search_)})
    w->setEnabled(false);
  found_ = search();
  {
    QSignalBlocker block(foundList_);
    foundList_->clear();
    for (std::size_t i = 0; i < found_.size(); ++i) {
      auto* item = new QListWidgetItem(q(found_[i].name));
      item->setData(Qt::UserRole, static_cast<int>(i));
      foundList_->addItem(item);
    }
  }
  for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(foundList_), static_cast<QWidget*>(search_)})
    w->setEnabled(true);
  QApplication::restoreOverrideCursor();
  if (!found_.empty()) {
    {
      QSignalBlocker block(list_);
      list_->setCurrentIndex(-1);
    }
    foundList_->setCurrentRow(0);
  }
  selectionChange();
  foundSelectionChange();
}

void CBluetoothDialog::addOrUpdate() {
  if (editing_) {
    const int entry = selectedEntry();
    const std::string text = description_->text().toStdString();
    if (entry < 0 || text.empty()) return;
    entries_[static_cast<std::size_t>(entry)].description = entries_[static_cast<std::size_t>(entry)].name = text;
    refill(entry);
    return;
  }
  const QList<QListWidgetItem*> selected = foundList_->selectedItems();
  if (selected.isEmpty()) return;
  const auto& device = found_[static_cast<std::size_t>(selected.front()->data(Qt::UserRole).toInt())];
  for (std::size_t i = 0; i < entries_.size(); ++i) {
    if (entries_[i].address == device.addressText) {  // already stored: select it instead
      refill(static_cast<int>(i));
      return;
    }
  }
  std::string description = description_->text().toStdString();
  if (description.empty()) description = device.name;
  entries_.push_back({description, description, device.addressText, ConnectionKind::Bluetooth});
  refill(static_cast<int>(entries_.size()) - 1);
}

void CBluetoothDialog::deleteDevice() { deleteSelected(); }

void CBluetoothDialog::accept() {
  devicestore::saveBluetooth(shownEntries());
  QDialog::accept();
}
