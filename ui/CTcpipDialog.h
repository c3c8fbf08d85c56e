#pragma once
#include <functional>
#include <vector>

#include "CDeviceListDialog.h"

class QLineEdit;
class QPushButton;

// Keeps the list of TCP/IP hosts: host, port, password and description of each receiver.
class CTcpipDialog : public CDeviceListDialog {
  Q_OBJECT
 public:
  explicit CTcpipDialog(QWidget* parent = nullptr);
  const std::vector<PortEntry>& hosts() const { return entries_; }
  void accept() override;
  // Shows a validation message ("Device properties", error icon); tests replace it.
  std::function<void(const QString&)> message;

  void newHost();
  void addOrUpdate();
  void deleteHost();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void selectionChange() override;

  bool editing_ = false;
  QLineEdit *host_, *port_, *password_, *description_;
  QPushButton *add_, *new_;
};
