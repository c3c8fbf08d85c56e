#include "CDeviceListDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>

#include "DeviceList.h"

CDeviceListDialog::CDeviceListDialog(QWidget* parent)
    : QDialog(parent),
      list_(new QComboBox(this)),
      delete_(new QPushButton(QStringLiteral("Delete"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  nameControls({{1030, list_}, {1028, delete_}, {1, ok_}, {2, cancel_}});
  connect(list_, &QComboBox::currentIndexChanged, this, [this](int row) { listSelected(row); });
  connect(delete_, &QPushButton::clicked, this, [this] { deletePressed(); });
  connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
}

QHBoxLayout* CDeviceListDialog::listRow() {
  auto* row = new QHBoxLayout;
  row->addWidget(list_, 1);
  row->addWidget(delete_);
  return row;
}

void CDeviceListDialog::addOkCancel(QHBoxLayout* row) {
  row->addStretch(1);
  row->addWidget(ok_);
  row->addWidget(cancel_);
}

QWidget* CDeviceListDialog::control(int id) const {
  return findChild<QWidget*>(QStringLiteral("control%1").arg(id));
}

void CDeviceListDialog::nameControls(std::initializer_list<std::pair<int, QWidget*>> controls) {
  for (const auto& [id, w] : controls) {
    w->setObjectName(QStringLiteral("control%1").arg(id));
    if (auto* b = qobject_cast<QPushButton*>(w)) b->setAutoDefault(false);
  }
}

void CDeviceListDialog::showList(const DeviceList& list, bool deleteEnabled) {
  QSignalBlocker block(list_);
  list_->clear();
  for (const std::string& row : list.rows()) list_->addItem(QString::fromStdString(row));
  list_->setCurrentIndex(list.selectedRow());
  delete_->setEnabled(deleteEnabled);
}
