#pragma once
#include <memory>

#include "LoadMethod.h"

class LoadWorker;

// A way to put the receiver into its boot loader before the capture: one small class each,
// chosen once from the run's loading method.
class BootEntry {
 public:
  virtual ~BootEntry() = default;
  // Runs on the worker; false when the run ends here (a stop). Reports the capturing stage.
  virtual bool enter(LoadWorker& w) = 0;

  // The way for a method; null for a method that does not go through the boot loader.
  static std::unique_ptr<BootEntry> forMethod(LoadMethod method);
};
