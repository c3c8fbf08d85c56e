#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "ConnectionKind.h"
#include "ControlState.h"
#include "LoadMethod.h"
#include "RunOutcome.h"
#include "SourceKind.h"

// What the wizard controller needs from a front end: it renders the controls' states, runs
// reports on its own thread and asks the operator what only the operator can answer. Every call
// comes from the front end's thread, except post(), which any thread may call.
class WizardView {
 public:
  virtual ~WizardView() = default;

  // A control changed; aspects is a mask of ControlState::Aspect.
  virtual void controlChanged(int id, const ControlState& state, unsigned aspects) = 0;
  // Text was appended to a text control (the state's text already holds it).
  virtual void textAppended(int id, const std::string& added) = 0;
  virtual void titleChanged(const std::string& title) = 0;
  // Runs fn later on the front end's thread, in the order posted; dropped once the view is gone.
  virtual void post(std::function<void()> fn) = 0;
  // Shows a warning and returns once the operator has seen it.
  virtual void showWarning(const std::string& text) = 0;
  // The file (or folder) the operator picks as the firmware source; empty when cancelled.
  virtual std::string chooseSourcePath(SourceKind kind, LoadMethod method) = 0;
  // Lets the operator pick some of an archive's images (names is changed in place); false when
  // cancelled.
  virtual bool pickImages(std::vector<std::string>& names, bool loaders) = 0;
  // The set-up dialog of TCP/IP hosts or Bluetooth devices; true when the stored list changed.
  virtual bool openSetUpDevices(ConnectionKind kind) = 0;
  virtual void openAbout() = 0;
  // The wizard ends; accepted is false for a cancel or a failed unattended run.
  virtual void close(bool accepted) = 0;

};
