#pragma once
#include <string>
#include <vector>

#include "FirmwareImageSet.h"
#include "LoadJob.h"
#include "SourceKind.h"
#include "WizardController.h"

// The Linux program: the shared command-line flow (runProgram) with the Qt window, the settings
// file's stored devices, udev's port lists and the pre-flight check. Without a display an
// unattended "/run" runs on the console (no window system at all).
class CVestrelApp {
 public:
  CVestrelApp(int argc, char** argv);
  int run();

  // True when neither an X11 nor a Wayland display is reachable.
  static bool noDisplay();

 private:
  int runWindow(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable);

  int argc_;
  char** argv_;
  std::vector<std::string> args_;
};
