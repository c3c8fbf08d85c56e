#pragma once
#include "BootEntry.h"

// Power On Capture: the USB-serial bridge switches the receiver off and on through its output
// latch, with a pause at each step; without such a bridge the operator is asked to switch it on.
class PowerSwitchEntry final : public BootEntry {
 public:
  bool enter(LoadWorker& w) override;
};
