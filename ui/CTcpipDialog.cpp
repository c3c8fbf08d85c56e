#include "CTcpipDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

#include "CTcpipPort.h"
#include "DeviceStore.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CTcpipDialog::CTcpipDialog(QWidget* parent) : QDialog(parent), hosts_(devicestore::loadHosts()) {
  setWindowTitle(QStringLiteral("Set up TCP/IP connections"));
  message = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Device properties"), text); };
  list_ = new QComboBox(this);
  host_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  password_ = new QLineEdit(this);
  password_->setEchoMode(QLineEdit::Password);
  description_ = new QLineEdit(this);
  description_->installEventFilter(this);
  delete_ = new QPushButton(QStringLiteral("Delete"), this);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  new_ = new QPushButton(QStringLiteral("New"), this);
  auto* ok = new QPushButton(QStringLiteral("OK"), this);
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
  const std::pair<int, QWidget*> named[] = {{1030, list_}, {1035, host_}, {1032, port_}, {1033, password_},
                                            {1036, description_}, {1028, delete_}, {1034, add_}, {1037, new_},
                                            {1, ok}, {2, cancel}};
  for (const auto& [id, w] : named) w->setObjectName(QStringLiteral("control%1").arg(id));
  for (QPushButton* b : {delete_, add_, new_, ok, cancel}) b->setAutoDefault(false);

  connect(list_, &QComboBox::currentIndexChanged, this, [this] { selectionChange(); });
  connect(delete_, &QPushButton::clicked, this, [this] { deleteHost(); });
  connect(add_, &QPushButton::clicked, this, [this] { addOrUpdate(); });
  connect(new_, &QPushButton::clicked, this, [this] { newHost(); });
  connect(ok, &QPushButton::clicked, this, [this] { accept(); });
  connect(cancel, &QPushButton::clicked, this, [this] { reject(); });

  auto* top = new QHBoxLayout;
  top->addWidget(list_, 1);
  top->addWidget(delete_);
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host:"), host_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(QStringLiteral("Password:"), password_);
  form->addRow(QStringLiteral("Description:"), description_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(new_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  buttons->addWidget(cancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(form);
  layout->addLayout(buttons);
  refill(hosts_.empty() ? -1 : 0);
}

QWidget* CTcpipDialog::control(int id) const { return findChild<QWidget*>(QStringLiteral("control%1").arg(id)); }

// The list shows the hosts sorted by description; each item refers to its entry.
void CTcpipDialog::refill(int selectEntry) {
  QSignalBlocker block(list_);
  list_->clear();
  std::vector<int> order(hosts_.size());
  for (std::size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
  std::stable_sort(order.begin(), order.end(),
                   [this](int a, int b) { return hosts_[static_cast<std::size_t>(a)].description < hosts_[static_cast<std::size_t>(b)].description; });
  for (int i : order) list_->addItem(q(hosts_[static_cast<std::size_t>(i)].description), i);
  const int row = list_->findData(selectEntry);
  list_->setCurrentIndex(selectEntry < 0 ? -1 : (row < 0 ? 0 : row));
  block.unblock();
  selectionChange();
}

int CTcpipDialog::selectedEntry() const { return list_->currentIndex() < 0 ? -1 : list_->currentData().toInt(); }

void CTcpipDialog::selectionChange() {
  add_->setText(QStringLiteral("Add"));
  editing_ = false;
  new_->setEnabled(false);
  const int entry = selectedEntry();
  delete_->setEnabled(entry >= 0);
  if (entry < 0) return;
  const PortEntry& e = hosts_[static_cast<std::size_t>(entry)];
  const CMNC::TcpipHost h = CMNC::CTcpipPort::ParseAddress(e.address);
  host_->setText(q(h.host));
  port_->setText(h.port ? QString::number(h.port) : QString());
  password_->setText(q(h.password));
  description_->setText(q(e.description));
  editing_ = true;
  add_->setText(QStringLiteral("Update"));
  new_->setEnabled(true);
}

void CTcpipDialog::newHost() {
  for (QLineEdit* e : {host_, port_, password_, description_}) e->clear();
  list_->setCurrentIndex(-1);
  selectionChange();
}

void CTcpipDialog::addOrUpdate() {
  const std::string host = host_->text().trimmed().toStdString();
  if (host.empty() || host.find(':') != std::string::npos) {
    message(QStringLiteral("Host name or IP address is required."));
    return;
  }
  bool number = false;
  const int port = port_->text().trimmed().toInt(&number);
  if (!number || port < 1 || port > 65535) {
    message(QStringLiteral("Port number is required."));
    return;
  }
  const std::string hostPort = host + ":" + std::to_string(port);
  std::string description = description_->text().toStdString();
  if (description.empty()) description = hostPort;
  if (editing_ && selectedEntry() >= 0) hosts_.erase(hosts_.begin() + selectedEntry());
  hosts_.push_back({description, description, hostPort + ":" + password_->text().toStdString(), ConnectionKind::Tcpip});
  refill(static_cast<int>(hosts_.size()) - 1);
}

void CTcpipDialog::deleteHost() {
  const int entry = selectedEntry();
  if (entry < 0) return;
  const int row = list_->currentIndex();
  hosts_.erase(hosts_.begin() + entry);
  refill(-1);
  if (list_->count() > 0) list_->setCurrentIndex(std::max(row - 1, 0));
  selectionChange();
}

bool CTcpipDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == description_ && event->type() == QEvent::FocusIn && description_->text().isEmpty() &&
      !host_->text().isEmpty() && !port_->text().isEmpty()) {
    description_->setText(host_->text() + QStringLiteral(":") + port_->text());
    description_->selectAll();
  }
  return QDialog::eventFilter(watched, event);
}

void CTcpipDialog::accept() {
  std::vector<PortEntry> shown;
  for (int row = 0; row < list_->count(); ++row) shown.push_back(hosts_[static_cast<std::size_t>(list_->itemData(row).toInt())]);
  devicestore::saveHosts(shown);
  QDialog::accept();
}
