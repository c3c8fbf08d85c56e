#pragma once
#include <functional>
#include <vector>

#include "CDeviceListDialog.h"
#include "TcpipSetUp.h"

class QLineEdit;
class QPushButton;

// Keeps the list of TCP/IP hosts: host, port, password and description of each receiver. The
// rules are TcpipSetUp's; this dialog shows them.
class CTcpipDialog : public CDeviceListDialog {
  Q_OBJECT
 public:
  explicit CTcpipDialog(QWidget* parent = nullptr);
  const std::vector<PortEntry>& hosts() const { return model_.list().entries(); }
  void accept() override;
  // Shows a validation message ("Device properties", error icon); tests replace it.
  std::function<void(const QString&)> message;
  // Shows what OK's storing warns of (a password kept in the file: no secret service); tests
  // replace it.
  std::function<void(const QString&)> warning;

  void newHost();
  void addOrUpdate();
  void deleteHost();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void listSelected(int row) override;
  void deletePressed() override { deleteHost(); }
  // The fields as typed, into the model; the model's state, onto the controls.
  void readFields();
  void render();

  TcpipSetUp model_;
  QLineEdit *host_, *port_, *password_, *description_;
  QPushButton *add_, *new_;
};
