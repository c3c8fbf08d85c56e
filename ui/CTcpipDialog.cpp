#include "CTcpipDialog.h"

#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "DeviceStore.h"

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QLineEdit* e) { return e->text().toStdString(); }
}  // namespace

CTcpipDialog::CTcpipDialog(QWidget* parent) : CDeviceListDialog(parent), model_(devicestore::loadHosts()) {
  setWindowTitle(QStringLiteral("Set up TCP/IP connections"));
  message = [this](const QString& text) { QMessageBox::critical(this, QStringLiteral("Device properties"), text); };
  warning = [this](const QString& text) { QMessageBox::warning(this, QStringLiteral("Set up TCP/IP connections"), text); };
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
  connect(description_, &QLineEdit::textEdited, this, [this](const QString& text) {
    const QString shown = q(model_.descriptionEdited(text.toStdString()));
    if (shown != text) description_->setText(shown);
  });
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
  render();
}

void CTcpipDialog::readFields() {
  model_.setFields({s(host_), s(port_), s(password_), s(description_)});
}

void CTcpipDialog::render() {
  showList(model_.list(), model_.deleteEnabled());
  const HostFields& f = model_.fields();
  host_->setText(q(f.host));
  port_->setText(q(f.port));
  password_->setText(q(f.password));
  description_->setText(q(f.description));
  add_->setText(QString::fromLatin1(model_.addLabel()));
  new_->setEnabled(model_.newEnabled());
}

void CTcpipDialog::listSelected(int row) {
  readFields();
  model_.select(row);
  render();
}

void CTcpipDialog::newHost() {
  model_.newHost();
  render();
}

void CTcpipDialog::addOrUpdate() {
  readFields();
  const std::string error = model_.addOrUpdate();
  if (!error.empty()) {
    message(q(error));
    return;
  }
  render();
}

void CTcpipDialog::deleteHost() {
  readFields();
  model_.deleteSelected();
  render();
}

bool CTcpipDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == description_ && event->type() == QEvent::FocusIn) {
    readFields();
    if (model_.descriptionFocused()) {
      description_->setText(q(model_.fields().description));
      description_->selectAll();
    }
  }
  return QDialog::eventFilter(watched, event);
}

void CTcpipDialog::accept() {
  const std::string kept = devicestore::saveHosts(model_.hostsToStore());
  if (!kept.empty()) warning(q(kept));
  QDialog::accept();
}
