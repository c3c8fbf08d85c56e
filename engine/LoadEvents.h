#pragma once
#include <cstdint>
#include <string>

#include "LoadStage.h"

// The engine's reports. The engine calls them from the worker thread; an implementation hands
// each one to its own thread in order (never dropping one) and never blocks the worker.
class LoadEvents {
 public:
  virtual ~LoadEvents() = default;
  // Appends to the status area; an empty text clears it.
  virtual void appendStatus(const std::string& text) = 0;
  // Replaces the status area's text (the page text).
  virtual void replaceStatus(const std::string& text) {
    appendStatus("");
    appendStatus(text);
  }
  // Appends to the log box; an empty text clears it.
  virtual void appendLog(const std::string& text) = 0;
  // Progress in percent; values outside 0..100 are ignored by the display.
  virtual void setProgress(int percent) = 0;
  // The engine is waiting: step the progress display.
  virtual void pulse() = 0;
  virtual void loadSucceeded() = 0;
  virtual void loadAborted() = 0;
  // The run could not start: the link could not be opened, or it refused the loading speed. The
  // page text (empty for the port test) and the log text say why; nothing else follows.
  virtual void startRefused(const std::string& pageText, const std::string& logText) = 0;
  // A warning box; dropped while another one is showing.
  virtual void showWarning(const std::string& text) = 0;
  // The load will send this many bytes in all, over every transfer it makes; optional.
  virtual void runPlanned(uint64_t /*totalBytes*/) {}
  // Bytes of the current transfer sent so far, for displays that show them; optional.
  virtual void transferProgress(uint64_t /*done*/, uint64_t /*total*/) {}
  // The receiver told its identity (its serial number), for displays that show it; optional.
  virtual void receiverIdentified(const std::string& /*identity*/) {}
  // The receiver's boot loader told its hardware version; optional.
  virtual void hardwareReported(const std::string& /*version*/) {}
  // The run entered a stage; image is the catalogue title of the image it concerns ("Main
  // firmware"), or empty. Sent beside the texts, which stay as they are.
  virtual void stageChanged(LoadStage /*stage*/, const std::string& /*image*/) {}
  // Why the run failed, once, before loadAborted (the text the log shows for it).
  virtual void failureReason(const std::string& /*reason*/) {}
};
