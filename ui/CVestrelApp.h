#pragma once
#include <string>
#include <vector>

#include "FirmwareImageSet.h"
#include "LoadJob.h"
#include "SourceKind.h"

// The program: reads its command line, picks the display (the offscreen platform when there is
// none), runs the wizard and returns the exit status (0 success, 1 failed or aborted unattended
// run, 2 bad usage).
class CVestrelApp {
 public:
  CVestrelApp(int argc, char** argv);
  int run();

  // True when neither an X11 nor a Wayland display is reachable.
  static bool noDisplay();

 private:
  int argc_;
  char** argv_;
  std::vector<std::string> args_;
  LoadJob job_;
  SourceKind sourceKind_ = SourceKind::ZipArchive;
  FirmwareImageSet images_;
};
