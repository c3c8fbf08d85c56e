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
    : QDialog(parent), devices_(devicestore::loadBluetooth(bluetoothAvailable)) {
  setWindowTitle(QStringLiteral("Set up Bluetooth devices"));
  search = [] {
    CMNC::DiscoveredDevices().clear();
    CMNC::InquireDevices({});
    return CMNC::DiscoveredDevices();
  };
  list_ = new QComboBox(this);
  foundList_ = new QListWidget(this);
  description_ = new QLineEdit(this);
  delete_ = new QPushButton(QStringLiteral("Delete"), this);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  search_ = new QPushButton(QStringLiteral("Search"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  const std::pair<int, QWidget*> named[] = {{1030, list_}, {1043, foundList_}, {1036, description_}, {1028, delete_},
                                            {1034, add_},  {1037, search_},    {1, ok},              {2, cancel}};
  for (const auto& [id, w] : named) w->setObjectName(QStringLiteral("control%1").arg(id));
  for (QPushButton* b : {delete_, add_, search_, ok, cancel}) b->setAutoDefault(false);
  connect(list_, &QComboBox::currentIndexChanged, this, [this] { storedSelectionChange(); });
  connect(foundList_, &QListWidget::itemSelectionChanged, this, [this] { foundSelectionChange(); });
  connect(delete_, &QPushButton::clicked, this, [this] { deleteDevice(); });
  connect(add_, &QPushButton::clicked, this, [this] { addOrUpdate(); });
  connect(search_, &QPushButton::clicked, this, [this] { runSearch(); });
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

  auto* top = new QHBoxLayout;
  top->addWidget(list_, 1);
  top->addWidget(delete_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Description:"), description_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(search_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(foundList_, 1);
  layout->addLayout(form);
  layout->addLayout(buttons);
  refill(devices_.empty() ? -1 : 0);
}

QWidget* CBluetoothDialog::control(int id) const { return findChild<QWidget*>(QStringLiteral("control%1").arg(id)); }

void CBluetoothDialog::refill(int selectEntry) {
  QSignalBlocker block(list_);
  list_->clear();
  std::vector<int> order(devices_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return devices_[static_cast<std::size_t>(a)].description < devices_[static_cast<std::size_t>(b)].description;
  });
  for (int i : order) list_->addItem(q(devices_[static_cast<std::size_t>(i)].description), i);
  const int row = list_->findData(selectEntry);
  list_->setCurrentIndex(selectEntry < 0 ? -1 : (row < 0 ? 0 : row));
  block.unblock();
  storedSelectionChange();
}

int CBluetoothDialog::selectedEntry() const { return list_->currentIndex() < 0 ? -1 : list_->currentData().toInt(); }

void CBluetoothDialog::storedSelectionChange() {
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
  description_->setText(q(devices_[static_cast<std::size_t>(entry)].description));
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
  storedSelectionChange();
  foundSelectionChange();
}

void CBluetoothDialog::addOrUpdate() {
  if (editing_) {
    const int entry = selectedEntry();
    const std::string text = description_->text().toStdString();
    if (entry < 0 || text.empty()) return;
    devices_[static_cast<std::size_t>(entry)].description = devices_[static_cast<std::size_t>(entry)].name = text;
    refill(entry);
    return;
  }
  const QList<QListWidgetItem*> selected = foundList_->selectedItems();
  if (selected.isEmpty()) return;
  const auto& device = found_[static_cast<std::size_t>(selected.front()->data(Qt::UserRole).toInt())];
  for (std::size_t i = 0; i < devices_.size(); ++i) {
    if (devices_[i].address == device.addressText) {  // already stored: select it instead
      refill(static_cast<int>(i));
      return;
    }
  }
  std::string description = description_->text().toStdString();
  if (description.empty()) description = device.name;
  devices_.push_back({description, description, device.addressText, ConnectionKind::Bluetooth});
  refill(static_cast<int>(devices_.size()) - 1);
}

void CBluetoothDialog::deleteDevice() {
  const int entry = selectedEntry();
  if (entry < 0) return;
  const int row = list_->currentIndex();
  devices_.erase(devices_.begin() + entry);
  refill(-1);
  if (list_->count() > 0) list_->setCurrentIndex(std::max(row - 1, 0));
  storedSelectionChange();
}

void CBluetoothDialog::accept() {
  std::vector<PortEntry> shown;
  for (int row = 0; row < list_->count(); ++row)
    shown.push_back(devices_[static_cast<std::size_t>(list_->itemData(row).toInt())]);
  devicestore::saveBluetooth(shown);
  QDialog::accept();
}
