#include "CFileSelectorDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ControlIds.h"
#include "FirmwareImageSet.h"

CFileSelectorDialog::CFileSelectorDialog(std::vector<std::string>& names, bool includeLoaderImages, QWidget* parent)
    : QDialog(parent), names_(names), includeLoaderImages_(includeLoaderImages) {
  setWindowTitle(QStringLiteral("Select one firmware image file"));
  text_ = new QLabel(QStringLiteral("Select one firmware image file:"), this);
  text_->setObjectName(QStringLiteral("control%1").arg(ids::kPickerText));
  text_->hide();
  list_ = new QListWidget(this);
  list_->setObjectName(QStringLiteral("control%1").arg(ids::kPickerList));
  list_->setSortingEnabled(true);
  for (std::size_t i = 0; i < names_.size(); ++i) {
    auto* item = new QListWidgetItem(QString::fromStdString(names_[i]));
    item->setData(Qt::UserRole, static_cast<int>(i));
    list_->addItem(item);
  }
  list_->setCurrentRow(-1);
  list_->clearSelection();
  ok_ = new QPushButton(QStringLiteral("OK"), this);
  ok_->setDefault(true);
  ok_->setEnabled(false);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  connect(list_, &QListWidget::itemSelectionChanged, this, [this] { ok_->setEnabled(!list_->selectedItems().isEmpty()); });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this] { accept(); });
  connect(ok_, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel);
  buttons->addStretch(1);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(text_);
  layout->addWidget(list_);
  layout->addLayout(buttons);
  resize(320, 240);
}

void CFileSelectorDialog::accept() {
  const QList<QListWidgetItem*> selected = list_->selectedItems();
  if (selected.isEmpty()) return;  // nothing chosen: the dialog stays
  const int index = selected.front()->data(Qt::UserRole).toInt();
  if (index < 0 || index >= static_cast<int>(names_.size())) return;
  names_ = pickImage(names_, names_[static_cast<std::size_t>(index)], includeLoaderImages_);
  QDialog::accept();
}
