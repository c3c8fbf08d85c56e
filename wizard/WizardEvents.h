#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "LoadEvents.h"

class WizardController;
class WizardView;

// The engine's reports as the wizard receives them: each one is queued to the front end's
// thread in order, and the end of a run and every report that changes the page carry the run's
// serial, so that the controller drops them for a run it has already stopped. Log lines of a
// stopped run still arrive (the reason it ended, "Aborted by user", is written last).
class WizardEvents final : public LoadEvents {
 public:
  WizardEvents(WizardController& controller, WizardView& view, uint64_t run)
      : controller_(controller), view_(view), run_(run) {}

  void appendStatus(const std::string& text) override;
  void replaceStatus(const std::string& text) override;
  void appendLog(const std::string& text) override;
  void setProgress(int percent) override;
  void pulse() override;
  void loadSucceeded() override;
  void loadAborted() override;
  void startRefused(const std::string& pageText, const std::string& logText) override;
  void showWarning(const std::string& text) override;
  void transferProgress(uint64_t done, uint64_t total) override;
  void receiverIdentified(const std::string& identity) override;
  void stageChanged(LoadStage stage, const std::string& image) override;
  void failureReason(const std::string& reason) override;
  void hardwareReported(const std::string& version) override;
  void runPlanned(uint64_t totalBytes) override;

 private:
  void postPageReport(std::function<void(WizardController&)> report);

  WizardController& controller_;
  WizardView& view_;
  uint64_t run_;
};
