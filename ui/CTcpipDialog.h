#pragma once
#include <QDialog>
#include <functional>
#include <vector>

#include "PortEntry.h"

class QComboBox;
class QLineEdit;
class QPushButton;

// Keeps the list of TCP/IP hosts: host, port, password and description of each receiver.
class CTcpipDialog : public QDialog {
  Q_OBJECT
 public:
  explicit CTcpipDialog(QWidget* parent = nullptr);
  QWidget* control(int id) const;
  const std::vector<PortEntry>& hosts() const { return hosts_; }
  void accept() override;
  // Shows a validation message ("Device properties", error icon); tests replace it.
  std::function<void(const QString&)> message;

  void newHost();
  void addOrUpdate();
  void deleteHost();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void refill(int selectEntry);
  void selectionChange();
  int selectedEntry() const;

  std::vector<PortEntry> hosts_;
  bool editing_ = false;
  QComboBox* list_;
  QLineEdit *host_, *port_, *password_, *description_;
  QPushButton *delete_, *add_, *new_;
};
