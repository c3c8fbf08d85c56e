#pragma once
#include <windows.h>

#include "TcpipSetUp.h"

// The set-up of TCP/IP hosts on Windows (layout 129): host, port, password and description of each
// receiver, stored in the registry on OK. The rules are TcpipSetUp's; this dialog renders them.
class CTcpipDialog {
 public:
  // The working list comes from the registry.
  CTcpipDialog();
  // Runs modally; true when it ended with OK (the hosts are stored then).
  bool run(HWND owner);

  // For the dialog procedure: see devicelistcontrols::runModal.
  void render(HWND hwnd);
  bool command(HWND hwnd, int id, int notification);
  void save(HWND owner) const;

 private:
  void readFields(HWND hwnd);

  TcpipSetUp model_;
};
