#pragma once
#include "BootEntry.h"

// Soft Break Capture: the receiver is told to reset, and its boot loader can be caught as it
// restarts; the receiver needs a pause after the command.
class SoftResetEntry final : public BootEntry {
 public:
  bool enter(LoadWorker& w) override;
};
