#pragma once
#include <string>
#include <vector>

#include "WizardController.h"

// The Windows program: starts Windows Sockets, attaches to the console it was started from, and
// runs the shared command-line flow (runProgram) with the registry's stored devices and
// SetupAPI's port lists: the wizard in its dialog, or an unattended "/run" started from a console
// on that console.
class WindowsApp {
 public:
  WindowsApp();
  ~WindowsApp();
  WindowsApp(const WindowsApp&) = delete;
  WindowsApp& operator=(const WindowsApp&) = delete;

  int run();

 private:
  // The program is a window program: it has a console only when it attaches to its parent's.
  // Streams a caller redirected (a pipe, a file) stay as they are.
  // True when the program has a console or redirected streams to write to.
  static bool attachParentConsole();
  static int runWindow(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable);
  // The command line as UTF-8 texts, without the program's name.
  static std::vector<std::string> arguments();

  bool socketsStarted_ = false;
};
