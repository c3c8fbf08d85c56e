#include "LoadRun.h"

// The engine's reports to a run and the texts the run says, as the wizard's controls take them:
// the page's text, the log box and warnings.
#include <type_traits>

#include "Clock.h"
#include "RunSink.h"

void LoadRun::send(RunEvent event) { sink_.event(event); }

void LoadRun::setPageText(const std::string& text) {
  pageText_ = text;
  send(Note{NoteArea::Page, NoteEdit::Replace, Severity::Info, text});
}

void LoadRun::appendPage(const std::string& text) {
  if (text.empty()) return;
  pageText_ += text;
  send(Note{NoteArea::Page, NoteEdit::Append, Severity::Info, text});
}

void LoadRun::clearPage() {
  pageText_.clear();
  send(Note{NoteArea::Page, NoteEdit::Clear, Severity::Info, ""});
}

void LoadRun::appendLog(const std::string& text) {
  if (text.empty()) return;
  logText_ += text;
  send(Note{NoteArea::Log, NoteEdit::Append, Severity::Info, text});
}

void LoadRun::replaceLog(const std::string& text) {
  logText_ = text;
  send(Note{NoteArea::Log, NoteEdit::Replace, Severity::Info, text});
}

void LoadRun::clearLog() {
  logText_.clear();
  send(Note{NoteArea::Log, NoteEdit::Clear, Severity::Info, ""});
}

// A warning of the history on lines of its own, never run on from the log's last text.
void LoadRun::recordWarning(const std::string& warning) {
  if (warning.empty()) return;
  const bool atLineStart = logText_.empty() || logText_.back() == '\n';
  appendLog((atLineStart ? "" : "\r\n") + std::string("Warning: ") + warning + "\r\n");
}

void LoadRun::learnedReceiver() { send(ReceiverLearned{receiverFacts()}); }

ReceiverFacts LoadRun::receiverFacts() const {
  return receiverFactsOf(tested_, identity_, hardware_, firmwareChange_.after);
}

void LoadRun::note(const Note& n) {
  if (n.area == NoteArea::Warning) return send(n);
  const bool page = n.area == NoteArea::Page;
  switch (n.edit) {
    case NoteEdit::Append: return page ? appendPage(n.text) : appendLog(n.text);
    case NoteEdit::Clear: return page ? clearPage() : clearLog();
    case NoteEdit::Replace: return page ? setPageText(n.text) : replaceLog(n.text);
  }
}

void LoadRun::engineReport(uint64_t run, const EngineEvent& event) {
  namespace ev = engineevent;
  std::visit(
      [this, run](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, Note>) note(e);
        else if constexpr (std::is_same_v<E, ev::Progress>) progressReport(e.percent);
        else if constexpr (std::is_same_v<E, ev::Transfer>) transferReport(e.done, e.total);
        else if constexpr (std::is_same_v<E, ev::Waiting>) send(StillWaiting{});
        else if constexpr (std::is_same_v<E, ev::Planned>) runProgress_.plan(e.totalBytes, CMNC::Clock::system().nowMs());
        else if constexpr (std::is_same_v<E, ev::Identified>) identityReport(e.identity);
        else if constexpr (std::is_same_v<E, ev::Hardware>) hardwareReport(e.version);
        else if constexpr (std::is_same_v<E, ev::Stage>) stageReport(e.stage, e.image);
        else if constexpr (std::is_same_v<E, ev::Failure>) failure_ = e.reason;
        else if constexpr (std::is_same_v<E, ev::Ended>) {
          if (e.kind == ev::Ended::Kind::Succeeded) runSucceeded(run);
          else if (e.kind == ev::Ended::Kind::Aborted) runAborted(run);
          else runRefused(run, e.pageText, e.logText);
        }
      },
      event);
}

void LoadRun::progressReport(int percent) {
  if (percent < 0 || percent > 100) return;
  const std::optional<int64_t> left = runProgress_.secondsLeft(CMNC::Clock::system().nowMs());
  send(TransferProgress{percent, done_, total_, runProgress_.runBytes(), runProgress_.runTotal(), left});
}

void LoadRun::transferReport(uint64_t done, uint64_t total) {
  runProgress_.transferred(done, total, CMNC::Clock::system().nowMs());
  done_ = done;
  total_ = total;
}

void LoadRun::identityReport(const std::string& identity) {
  identity_ = identity;
  learnedReceiver();
}

void LoadRun::stageReport(LoadStage stage, const std::string& image) {
  stage_ = stage;
  send(StageEntered{stage, image});
}

void LoadRun::hardwareReport(const std::string& version) {
  hardware_ = version;
  learnedReceiver();
}

void LoadRun::runSucceeded(uint64_t run) {
  if (!isCurrentRun(run)) return;
  if (page_ == Page::Connection) testFinished();
  else if (page_ == Page::Loading) loadFinished();
}

void LoadRun::runAborted(uint64_t run) {
  if (!isCurrentRun(run)) return;
  cancel();
}

// The engine run never started: the link could not be opened or refused the loading speed.
void LoadRun::runRefused(uint64_t run, const std::string& pageText, const std::string& logText) {
  if (!isCurrentRun(run)) return;
  refused_ = true;
  endRun();
  exitStatus_ = exitstatus::kFailed;
  if (page_ == Page::Loading) setPageText(pageText);
  appendLog(logText);
  if (page_ == Page::Loading) outcomeKnown_ = true;
  end();
}
