#pragma once
#include <string>
#include <vector>

#include "FirmwareImageSet.h"
#include "LoadJob.h"
#include "SourceKind.h"
#include "WizardController.h"

// The program: reads its command line, runs the wizard in its window, or without a display
// runs it unattended on the console (no window system at all), and returns the exit status
// (0 success, 1 failed or aborted unattended run, 2 bad usage).
class CVestrelApp {
 public:
  CVestrelApp(int argc, char** argv);
  int run();

  // True when neither an X11 nor a Wayland display is reachable.
  static bool noDisplay();

 private:
  int runWindow(bool bluetoothAvailable);
  static int listPorts(bool json);
  static int checkPorts(const std::string& port);
  static WizardController::PortDirectory portDirectory(bool bluetoothAvailable);

  int argc_;
  char** argv_;
  std::vector<std::string> args_;
  LoadJob job_;
  SourceKind sourceKind_ = SourceKind::ZipArchive;
  FirmwareImageSet images_;
};
