#include "LoadRun.h"

// How a run ends: a load the receiver confirmed (or not), a stop, a signal; its outcome, and the
// row that records it.
#include <cctype>

#include "ActivityLog.h"
#include "FailureAdvice.h"
#include "ImageCatalogue.h"
#include "ExitStatus.h"
#include "FirmwareImageSet.h"
#include "RunRecord.h"
#include "RunSink.h"
#include "Sha256.h"
#include "VersionMatch.h"

void LoadRun::loadFinished() {
  endRun();  // the session brings the receiver back to its normal rate
  images_.clear();
  exitStatus_ = exitstatus::kLoaded;
  loadWentThrough_ = true;
  std::string pageText = "Successfully loaded!";
  if (plan_.sourceKind != SourceKind::DataFile) {
    // Only the receiver's answer confirms a firmware load; a plain data file is confirmed by the
    // size check of the upload itself.
    const std::string missing = fileSystemReady_ == false
                                    ? "the receiver's file system never reported ready after the load, so its "
                                      "version was not asked"
                                    : "the receiver did not answer when asked for its version after the load";
    firmwareChange_ = {true, tested_.mainFirmware, session_.firmwareAfterLoad(), missing};
    if (!firmwareChange_.confirmed()) {
      exitStatus_ = exitstatus::kUnconfirmed;
      failureKind_ = FailureKind::Unconfirmed;
      failure_ = "Loaded, but not confirmed: " + missing + ".";
      pageText = failure_;
    }
    if (const std::string mismatch = expectedVersionMismatch(); !mismatch.empty()) {
      failure_ = mismatch;
      failureKind_ = FailureKind::Unconfirmed;
      exitStatus_ = exitstatus::kFailed;
      pageText = "Loaded, but not confirmed: " + mismatch;
    }
  }
  runProgress_.finished();
  progressReport(100);
  setPageText(pageText);
  if (plan_.sourceKind != SourceKind::DataFile) {
    appendLog("\r\n" + firmwareChange_.line() + "\r\n");
    if (failureKind_ == FailureKind::Unconfirmed) appendLog(failure_ + "\r\n", Severity::Warning);
    else appendLog("Success!");
  }
  outcomeKnown_ = true;
  end();
}

// "--expect-version": what is wrong with the version the receiver runs after the load, or "".
std::string LoadRun::expectedVersionMismatch() const {
  const std::string& expected = plan_.expectVersion;
  if (expected.empty()) return "";
  const std::string& after = firmwareChange_.after;
  if (after.empty())
    return "The receiver did not answer for its main firmware after the load; " + expected + " was expected.";
  if (versionMatches(after, expected)) return "";
  return "The receiver runs main firmware " + after + ", but " + expected + " was expected.";
}

// The engine run ends without success, or is stopped: on the loading page the load is aborted.
void LoadRun::cancel() {
  if (runEnded_) return;  // no engine run under way
  endRun();
  images_.clear();
  if (page_ == Page::Loading) {
    // "aborted" is said of a stop only.
    const bool stopped = operatorStopped_ || interrupted_ != 0;
    setPageText(stopped ? "The firmware loading was aborted." : "The firmware loading failed.");
    outcomeKnown_ = true;
  }
  exitStatus_ = exitstatus::kFailed;
  if (interrupted_ == 0) end();  // a stop signal ends the run after its advice
}

std::string LoadRun::interruptAdvice() const {
  if (runEnded_ || page_ != Page::Loading) return "Interrupted: nothing was written to the receiver.";
  if (plan_.method == LoadMethod::FileUpload)
    return "Interrupted: the receiver may hold a partly uploaded file or be restarting: wait until it answers, "
           "then load again.";
  return "Interrupted: the receiver may be left in its boot loader: switch it off and on and load again with "
         "Power On Capture.";
}

// A stop signal: a running test or load is aborted, the last line says what state the receiver may
// be in, and the run ends with 128 + the signal's number. Once the load ended, its outcome stands.
void LoadRun::interrupt(int signal) {
  if (interrupted_ != 0 || outcomeKnown_ || ending_) return;  // the run's end is decided already
  interrupted_ = signal;
  if (!runEnded_) operatorStopped_ = true;
  const std::string advice = interruptAdvice();
  stopAdvice_ = advice;
  cancel();  // the run's last reports are queued before what follows
  ending_ = true;
  later([this, advice, signal] {
    if (finished_) return;
    appendLog("\r\n" + advice + "\r\n", Severity::Warning);
    exitStatus_ = exitstatus::kSignalBase + signal;
    finish();
  });
}

// The gentle stop: a load ends once the image being written is flashed, within a bound; anything
// else is interrupted at once.
void LoadRun::finishImage(int signal) {
  if (interrupted_ != 0 || windingDown_ || outcomeKnown_) return;
  if (runEnded_ || page_ != Page::Loading) return interrupt(signal);
  windingDown_ = true;
  operatorStopped_ = true;
  appendLog("Asked to stop: the load ends once the image being written is flashed.\r\n");
  if (!thread_.postAfter) return interrupt(signal);  // nothing here can bound the wait
  session_.stopAfterImage();
  thread_.postAfter(std::chrono::seconds(kFinishImageBoundS), [alive = alive_, this, signal] {
    if (*alive) interrupt(signal);
  });
}

namespace {
std::string lastLine(const std::string& text) {
  const std::size_t end = text.find_last_not_of("\r\n ");
  if (end == std::string::npos) return {};
  const std::size_t found = text.find_last_of("\r\n", end);
  const std::size_t start = found == std::string::npos ? 0 : found + 1;
  return text.substr(start, end - start + 1);
}
}  // namespace

// "Successfully loaded!", else why not: what the receiver did not confirm, the failure the engine
// or a check named, else the last line the run said (a stop's advice, why a link did not open).
std::string LoadRun::reason() const {
  if (exitStatus_ == exitstatus::kLoaded) return "Successfully loaded!";
  if (exitStatus_ == exitstatus::kUnconfirmed) return firmwareChange_.line();
  if (!failure_.empty()) return failure_;
  const std::string log = lastLine(logText_);
  return log.empty() ? lastLine(pageText_) : log;
}

RunOutcome LoadRun::currentOutcome() const {
  RunOutcome o;
  o.exitStatus = exitStatus_;
  o.reason = reason();
  o.firmware = firmwareChange_;
  if (exitStatus_ == exitstatus::kLoaded) o.kind = OutcomeKind::Confirmed;
  else if (exitStatus_ == exitstatus::kUnconfirmed) o.kind = OutcomeKind::Unconfirmed;
  else if (operatorStopped_ || interrupted_ != 0) o.kind = OutcomeKind::Aborted;
  else if (refused_ || !stage_) o.kind = OutcomeKind::Refused;
  else o.kind = OutcomeKind::Failed;
  // A firmware load that went through ends confirming: the receiver's answer (its silence, or
  // another version than expected) decided it.
  const bool versionRejected = firmwareChange_.loaded && exitStatus_ == exitstatus::kFailed;
  o.stage = o.kind == OutcomeKind::Unconfirmed || versionRejected ? std::optional(LoadStage::Confirming) : stage_;
  o.port = shownPort_;
  o.receiver = receiverFacts();
  o.sourceSha256 = sourceSha256_;
  o.historyId = record_ ? record_->id() : std::string();
  o.images = results_;
  o.failure = failureKind();
  o.remedy = remedy();
  return o;
}

FailureKind LoadRun::failureKind() const {
  if (exitStatus_ == exitstatus::kLoaded) return FailureKind::None;
  if (interrupted_ != 0) return FailureKind::StoppedBySignal;
  if (operatorStopped_) return FailureKind::StoppedByOperator;
  return failureKind_;
}

std::string LoadRun::remedy() const {
  FailureContext c;
  c.kind = failureKind();
  // A stop's remedy is the advice it gave when it came, on the state the receiver was in then.
  const std::string said = "Interrupted: ";
  if ((c.kind == FailureKind::StoppedBySignal || c.kind == FailureKind::StoppedByOperator) &&
      stopAdvice_.size() > said.size() && stopAdvice_.rfind(said, 0) == 0) {
    std::string advice = stopAdvice_.substr(said.size());
    advice[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(advice[0])));
    return advice;
  }
  c.method = plan_.method;
  c.loading = page_ == Page::Loading && (stage_ == LoadStage::Capturing || stage_ == LoadStage::Loading ||
                                         stage_ == LoadStage::Flashing || stage_ == LoadStage::Rebooting);
  c.image = currentImage_;
  c.flashImage = false;
  for (const LoadedImage& image : results_)
    if (image.title == currentImage_ && image.result != ImageResult::Flashed)
      c.flashImage = catalogue::isLdpName(image.file);
  return remedyFor(c);
}

// The load's last lines: what came of each image, and what failed with its remedy.
void LoadRun::closingLines() {
  std::string lines, failure;
  if (!results_.empty()) {
    lines += "Images: " + imagesSummary(results_) + "\r\n";
    for (const LoadedImage& image : results_) lines += imageResultLine(image) + "\r\n";
  }
  if (const FailureKind kind = failureKind(); kind != FailureKind::None) {
    failure = std::string("Failure: ") + failureKindWords(kind) + "\r\n" + "Remedy: " + remedy() + "\r\n";
  }
  // Said past the log's own text, whose last line is the run's reason.
  const bool atLineStart = logText_.empty() || logText_.back() == '\n';
  if (!atLineStart && !(lines + failure).empty()) lines = "\r\n" + lines;
  if (!lines.empty()) send(Note{NoteArea::Log, NoteEdit::Append, Severity::Info, lines});
  if (!failure.empty()) send(Note{NoteArea::Log, NoteEdit::Append, Severity::Error, failure});
}

void LoadRun::finish() {
  if (finished_) return;
  finished_ = ending_ = true;
  // Success is a load that went through and was confirmed, never a run that ended some other way.
  if (exitStatus_ == exitstatus::kLoaded && !loadWentThrough_) exitStatus_ = exitstatus::kFailed;
  endRun();
  sleepGuard_.reset();  // the engine run is joined: the load and its confirmation are over
  stop_.listen({});
  closingLines();
  stop_.writingRow();
  if (record_ && record_->open()) recordWarning(record_->finish(currentOutcome()));
  result_ = currentOutcome();
  send(RunEnded{result_});
  if (ended_) ended_(result_);
}
