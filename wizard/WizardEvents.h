#pragma once
#include <cstdint>

#include "LoadEvents.h"

class WizardController;
class WizardView;

// The engine's reports of a window's port test as the wizard receives them: each one is queued to
// the window's thread in order, and the end of a run and every report that changes the page carry
// the run's serial, so that the controller drops them for a run it has already stopped. Log lines
// of a stopped run still arrive (the reason it ended, "Aborted by user", is written last).
class WizardEvents final : public LoadEvents {
 public:
  WizardEvents(WizardController& controller, WizardView& view, uint64_t run)
      : controller_(controller), view_(view), run_(run) {}

  void report(EngineEvent event) override;

 private:
  WizardController& controller_;
  WizardView& view_;
  uint64_t run_;
};
