#pragma once
#include <string>
#include <vector>

#include "WizardController.h"

// The Windows program: starts Windows Sockets, attaches to the console it was started from, and
// runs the shared command-line flow (runProgram) with the registry's stored devices and
// SetupAPI's port lists. Unattended "/run" loads work from a console; the wizard's window is not
// part of this build yet.
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
  static void attachParentConsole();
  // The command line as UTF-8 texts, without the program's name.
  static std::vector<std::string> arguments();

  bool socketsStarted_ = false;
};
