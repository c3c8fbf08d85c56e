#include "CBluetoothDialog.h"

#include <QApplication>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "BluetoothInquiry.h"
#include "DeviceStore.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CBluetoothDialog::CBluetoothDialog(bool bluetoothAvailable, QWidget* parent)
    : CDeviceListDialog(parent), model_(devicestore::loadBluetooth(bluetoothAvailable)) {
  setWindowTitle(QStringLiteral("Set up Bluetooth devices"));
  search = [] { return CMNC::SearchDevices(); };
  foundList_ = new QListWidget(this);
  description_ = new QLineEdit(this);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  search_ = new QPushButton(QStringLiteral("Search"), this);
  nameControls({{1043, foundList_}, {1036, description_}, {1034, add_}, {1037, search_}});
  connect(foundList_, &QListWidget::currentRowChanged, this, [this](int row) {
    model_.setDescription(description_->text().toStdString());
    model_.selectFound(row);
    render();
  });
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
  render();
}

void CBluetoothDialog::render() {
  showList(model_.list(), model_.deleteEnabled());
  {
    QSignalBlocker block(foundList_);
    if (foundList_->count() != static_cast<int>(model_.found().size())) {
      foundList_->clear();
      for (const CMNC::CBTRemoteDevice& device : model_.found()) foundList_->addItem(q(device.name));
    }
    foundList_->setCurrentRow(model_.selectedFound());
    if (model_.selectedFound() < 0) foundList_->clearSelection();
  }
  description_->setText(q(model_.description()));
  add_->setText(QString::fromLatin1(model_.addLabel()));
  add_->setEnabled(model_.addEnabled());
}

void CBluetoothDialog::listSelected(int row) {
  model_.setDescription(description_->text().toStdString());
  model_.selectStored(row);
  render();
}

void CBluetoothDialog::runSearch() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(foundList_), static_cast<QWidget*>(delete_),
                     static_cast<QWidget*>(add_), static_cast<QWidget*>(search_)})
    w->setEnabled(false);
  repaint();
  model_.searched(search());
  {
    QSignalBlocker block(foundList_);
    foundList_->clear();  // the names of this search, even when as many as the last one's
  }
  for (QWidget* w : {static_cast<QWidget*>(list_), static_cast<QWidget*>(foundList_), static_cast<QWidget*>(search_)})
    w->setEnabled(true);
  QApplication::restoreOverrideCursor();
  render();
}

void CBluetoothDialog::addOrUpdate() {
  model_.setDescription(description_->text().toStdString());
  model_.addOrUpdate();
  render();
}

void CBluetoothDialog::deleteDevice() {
  model_.deleteSelected();
  render();
}

void CBluetoothDialog::accept() {
  devicestore::saveBluetooth(model_.devicesToStore());
  QDialog::accept();
}
