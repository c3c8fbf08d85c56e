#include "CTcpipDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "CTcpipPort.h"
#include "DeviceStore.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
}  // namespace

CTcpipDialog::CTcpipDialog(QWidget* parent) : CDeviceListDialog(devicestore::loadHosts(), parent) {
  setWindowTitle(QStringLiteral("Set up TCP/IP connections"));
  message = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Device properties"), text); };
  host_ = new QLineEdit(this);
  port_ = new QLineEdit(this);
  password_ = new QLineEdit(this);
  password_->setEchoMode(QLineEdit::Password);
  description_ = new QLineEdit(this);
  description_->installEventFilter(this);
  add_ = new QPushButton(QStringLiteral("Add"), this);
  new_ = new QPushButton(QStringLiteral("New"), this);
  nameControls({{1035, host_}, {1032, port_}, {1033, password_}, {1036, description_},
                {1034, add_}, {1037, new_}});
  connect(add_, &QPushButton::clicked, this, [this] { addOrUpdate(); });
  connect(new_, &QPushButton::clicked, this, [this] { newHost(); });

  auto* top = listRow();
  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Host:"), host_);
  form->addRow(QStringLiteral("Port:"), port_);
  form->addRow(QStringLiteral("Password:"), password_);
  form->addRow(QStringLiteral("Description:"), description_);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(add_);
  buttons->addWidget(new_);
  addOkCancel(buttons);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addLayout(form);
  layout->addLayout(buttons);
  refill(entries_.empty() ? -1 : 0);
}

void CTcpipDialog::selectionChange() {
  add_->setText(QStringLiteral("Add"));
  editing_ = false;
  new_->setEnabled(false);
  const int entry = selectedEntry();
  delete_->setEnabled(entry >= 0);
  if (entry < 0) return;
  const PortEntry& e = entries_[static_cast<std::size_t>(entry)];
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
  if (editing_ && selectedEntry() >= 0) entries_.erase(entries_.begin() + selectedEntry());
  entries_.push_back({description, description, hostPort + ":" + password_->text().toStdString(), ConnectionKind::Tcpip});
  refill(static_cast<int>(entries_.size()) - 1);
}

void CTcpipDialog::deleteHost() { deleteSelected(); }

bool CTcpipDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == description_ && event->type() == QEvent::FocusIn && description_->text().isEmpty() &&
      !host_->text().isEmpty() && !port_->text().isEmpty()) {
    description_->setText(host_->text() + QStringLiteral(":") + port_->text());
    description_->selectAll();
  }
  return QDialog::eventFilter(watched, event);
}

void CTcpipDialog::accept() {
  devicestore::saveHosts(shownEntries());
  QDialog::accept();
}
