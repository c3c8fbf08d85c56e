#include "CDeviceListDialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QPushButton>
#include <algorithm>

CDeviceListDialog::CDeviceListDialog(std::vector<PortEntry> entries, QWidget* parent)
    : QDialog(parent),
      entries_(std::move(entries)),
      list_(new QComboBox(this)),
      delete_(new QPushButton(QStringLiteral("Delete"), this)),
      ok_(new QPushButton(QStringLiteral("OK"), this)),
      cancel_(new QPushButton(QStringLiteral("Cancel"), this)) {
  nameControls({{1030, list_}, {1028, delete_}, {1, ok_}, {2, cancel_}});
  connect(list_, &QComboBox::currentIndexChanged, this, [this] { selectionChange(); });
  connect(delete_, &QPushButton::clicked, this, [this] { deleteSelected(); });
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

void CDeviceListDialog::refill(int selectEntry) {
  QSignalBlocker block(list_);
  list_->clear();
  std::vector<int> order(entries_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
    return entries_[static_cast<std::size_t>(a)].description < entries_[static_cast<std::size_t>(b)].description;
  });
  for (int i : order) list_->addItem(QString::fromStdString(entries_[static_cast<std::size_t>(i)].description), i);
  const int row = list_->findData(selectEntry);
  list_->setCurrentIndex(selectEntry < 0 ? -1 : (row < 0 ? 0 : row));
  block.unblock();
  selectionChange();
}

int CDeviceListDialog::selectedEntry() const { return list_->currentIndex() < 0 ? -1 : list_->currentData().toInt(); }

void CDeviceListDialog::deleteSelected() {
  const int entry = selectedEntry();
  if (entry < 0) return;
  const int row = list_->currentIndex();
  entries_.erase(entries_.begin() + entry);
  refill(-1);
  if (list_->count() > 0) list_->setCurrentIndex(std::max(row - 1, 0));
  selectionChange();
}

std::vector<PortEntry> CDeviceListDialog::shownEntries() const {
  std::vector<PortEntry> shown;
  for (int row = 0; row < list_->count(); ++row)
    shown.push_back(entries_[static_cast<std::size_t>(list_->itemData(row).toInt())]);
  return shown;
}
