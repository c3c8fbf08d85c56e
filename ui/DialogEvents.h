#pragma once
#include <cstdint>
#include <string>

#include "LoadEvents.h"

class CVestrelDlg;

// The engine's reports as the wizard receives them: each one is queued to the dialog's thread,
// in order, carrying its text, and tagged with the worker it came from so that the dialog can
// drop the button commands of a worker it has already stopped.
class DialogEvents final : public LoadEvents {
 public:
  DialogEvents(CVestrelDlg* dialog, uint64_t worker) : dialog_(dialog), worker_(worker) {}

  void appendStatus(const std::string& text) override;
  void appendLog(const std::string& text) override;
  void setProgress(int percent) override;
  void pulse() override;
  void loadSucceeded() override;
  void loadAborted() override;
  void showWarning(const std::string& text) override;
  void transferProgress(uint64_t done, uint64_t total) override;

 private:
  template <typename F>
  void post(F f);
  CVestrelDlg* dialog_;
  uint64_t worker_;
};
