#pragma once
#include <string>
#include <vector>

#include "WizardController.h"

// The Windows programs: starts Windows Sockets and runs the shared command-line flow (runProgram)
// with the registry's stored devices and SetupAPI's port lists. Two programs share it:
// - the console program (vestrel.exe) runs in the console it was started from: an unattended
//   "/run" runs on it, without "/run" the wizard opens in its dialog and the console waits for it;
// - the window program (vestrelw.exe) never has a console of its own: it writes to its parent's
//   console when there is one (or to streams a caller redirected), and every run, "/run"
//   included, shows in the dialog.
class WindowsApp {
 public:
  enum class Kind { Console, Window };
  explicit WindowsApp(Kind kind);
  ~WindowsApp();
  WindowsApp(const WindowsApp&) = delete;
  WindowsApp& operator=(const WindowsApp&) = delete;

  int run();

 private:
  // The window program has a console only when it attaches to its parent's. Streams a caller
  // redirected (a pipe, a file) stay as they are.
  static void attachParentConsole();
  static int runWindow(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable);

  Kind kind_;
  bool socketsStarted_ = false;
};
