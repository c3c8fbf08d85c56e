#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "FailureKind.h"

#include "LoadStage.h"
#include "RunNote.h"

// An engine run's reports, typed: what it says (a Note), how far it is, what it learned of the
// receiver, and how it ended.
namespace engineevent {
struct Progress {  // of the image being sent, 0..100; other values are ignored by the displays
  int percent = 0;
};
struct Transfer {  // bytes of the current transfer sent so far
  uint64_t done = 0, total = 0;
};
struct Waiting {};  // the engine waits for the receiver: nothing to count
struct Planned {    // the load will send this many bytes in all, over every transfer it makes
  uint64_t totalBytes = 0;
  // The images that get a turn of their own, in the order they go, named as the source names
  // them (a RAM loader or a utility loader that only helps another image is none of them).
  std::vector<std::string> images;
};
struct ImageDone {  // what happened to one of the planned images
  std::string image;  // as Planned names it
  ImageResult result = ImageResult::NotReached;
  std::string words;  // the receiver's or the step's words on a refusal or a failure
};
struct Identified {  // the receiver told its identity (its serial number)
  std::string identity;
};
struct Hardware {  // the receiver's boot loader told its hardware version
  std::string version;
};
struct Stage {  // the run entered a stage; image is the catalogue's title of the image it concerns
  LoadStage stage = LoadStage::Connecting;
  std::string image;
};
struct Rebooted {  // after the load: whether the receiver's file system reported ready again
  bool ready = false;
};
struct Failure {  // why the run failed, once, before it ends failed (the text the log shows for it)
  std::string reason;
  FailureKind kind = FailureKind::Other;
};
struct Ended {
  // Failed: a step failed (a stop ends a run with no end reported: its stopper knows).
  enum class Kind { Succeeded, Failed, Refused };
  Kind kind = Kind::Succeeded;
  // Refused: the run could not start (the link could not be opened, or it refused the loading
  // speed); the page text (empty for the port test) and the log text say why.
  std::string pageText, logText;
};
}  // namespace engineevent

using EngineEvent = std::variant<Note, engineevent::Progress, engineevent::Transfer, engineevent::Waiting,
                                 engineevent::Planned, engineevent::Identified, engineevent::Hardware,
                                 engineevent::Stage, engineevent::Failure, engineevent::ImageDone, engineevent::Rebooted,
                                 engineevent::Ended>;

// The engine's reports: one typed stream. The engine reports from the worker thread; an
// implementation hands each event to its own thread in order (never dropping one) and never
// blocks the worker. The helpers below are how the steps say things: each makes one event.
class LoadEvents {
 public:
  virtual ~LoadEvents() = default;
  virtual void report(EngineEvent event) = 0;

  // A text added to the page's text; an empty text empties it.
  void appendStatus(const std::string& text) {
    report(text.empty() ? Note{NoteArea::Page, NoteEdit::Clear, Severity::Info, ""}
                        : Note{NoteArea::Page, NoteEdit::Append, Severity::Info, text});
  }
  // The page's text replaced.
  void replaceStatus(const std::string& text) { report(Note{NoteArea::Page, NoteEdit::Replace, Severity::Info, text}); }
  // A text added to the log; an empty text empties it.
  void appendLog(const std::string& text) {
    report(text.empty() ? Note{NoteArea::Log, NoteEdit::Clear, Severity::Info, ""}
                        : Note{NoteArea::Log, NoteEdit::Append, Severity::Info, text});
  }
  // Why a step failed, added to the log: the operator sees it even when the console is quiet.
  void logError(const std::string& text) { report(Note{NoteArea::Log, NoteEdit::Append, Severity::Error, text}); }
  // A summary of one exchange with the receiver: shown with "-v" only, never logged.
  void exchange(const std::string& text) { report(Note{NoteArea::Log, NoteEdit::Append, Severity::Detail, text}); }
  // A warning the operator must see; a front end drops one while another is showing.
  void showWarning(const std::string& text) { report(Note{NoteArea::Warning, NoteEdit::Append, Severity::Warning, text}); }
  void setProgress(int percent) { report(engineevent::Progress{percent}); }
  void pulse() { report(engineevent::Waiting{}); }
  void runPlanned(uint64_t totalBytes, std::vector<std::string> images = {}) {
    report(engineevent::Planned{totalBytes, std::move(images)});
  }
  void rebooted(bool ready) { report(engineevent::Rebooted{ready}); }
  void imageDone(const std::string& image, ImageResult result, const std::string& words = "") {
    report(engineevent::ImageDone{image, result, words});
  }
  void transferProgress(uint64_t done, uint64_t total) { report(engineevent::Transfer{done, total}); }
  void receiverIdentified(const std::string& identity) { report(engineevent::Identified{identity}); }
  void hardwareReported(const std::string& version) { report(engineevent::Hardware{version}); }
  void stageChanged(LoadStage stage, const std::string& image) { report(engineevent::Stage{stage, image}); }
  void failureReason(const std::string& reason, FailureKind kind = FailureKind::Other) {
    report(engineevent::Failure{reason, kind});
  }
  // The run's end, and the log's last word on it. A load whose receiver must still confirm it
  // leaves "Success!" to the one that hears the confirmation.
  void loadSucceeded(bool sayIt = true) {
    report(engineevent::Ended{engineevent::Ended::Kind::Succeeded, "", ""});
    if (sayIt) appendLog("Success!");
  }
  // "aborted" is said of a stop only: a run that failed says so.
  void loadFailed() {
    report(engineevent::Ended{engineevent::Ended::Kind::Failed, "", ""});
    appendLog("\r\nThe process failed.");
  }
  void startRefused(const std::string& pageText, const std::string& logText) {
    report(engineevent::Ended{engineevent::Ended::Kind::Refused, pageText, logText});
  }
};

// The reports that change the page (its text, progress, the stage, why the run failed): a front
// end drops them once their run was stopped, since the worker's last reports are still queued
// when the stop returns and would blank what the stop put on the page. Log lines still arrive.
inline bool changesThePage(const EngineEvent& event) {
  if (const auto* note = std::get_if<Note>(&event)) return note->area == NoteArea::Page;
  return std::holds_alternative<engineevent::Progress>(event) || std::holds_alternative<engineevent::Waiting>(event) ||
         std::holds_alternative<engineevent::Stage>(event) || std::holds_alternative<engineevent::Failure>(event) ||
         std::holds_alternative<engineevent::Planned>(event);
}
