#include "SetUpDevices.h"

#include "CBluetoothDialog.h"
#include "CTcpipDialog.h"
#include "LinkKinds.h"

namespace setup {

bool openSetUpDialog(ConnectionKind kind, bool bluetoothAvailable, QWidget* parent) {
  const CMNC::SetUpModel model = CMNC::LinkKindOf(kind).setUp;
  if (model == CMNC::SetUpModel::Hosts) {
    CTcpipDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted;
  }
  if (model == CMNC::SetUpModel::Devices && bluetoothAvailable) {
    CBluetoothDialog dialog(bluetoothAvailable, parent);
    return dialog.exec() == QDialog::Accepted;
  }
  return false;
}

}  // namespace setup
