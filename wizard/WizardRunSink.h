#pragma once
#include "RunSink.h"

class WizardController;

// A load's run events as the window shows them: each one handed to the controller, which puts it
// on its controls (whose texts also go to the activity log). On the window's thread.
class WizardRunSink final : public RunSink {
 public:
  explicit WizardRunSink(WizardController& controller) : controller_(controller) {}
  void event(const RunEvent& event) override;

 private:
  void note(const Note& note);
  WizardController& controller_;
};
