#include "SetUpDevices.h"

#include "CBluetoothDialog.h"
#include "CTcpipDialog.h"

namespace setup {

bool openSetUpDialog(ConnectionKind kind, bool bluetoothAvailable, QWidget* parent) {
  if (kind == ConnectionKind::Tcpip) {
    CTcpipDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
  }
  if (kind == ConnectionKind::Bluetooth && bluetoothAvailable) {
    CBluetoothDialog dialog(bluetoothAvailable, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  return false;
}

}  // namespace setup
