#include "LoadRun.h"

// The engine's reports to a run and the texts the run says, as the wizard's controls take them:
// the page's text, the log box and warnings.
#include <type_traits>

#include "Clock.h"
#include "ImageCatalogue.h"
#include "RunRecord.h"
#include "RunSink.h"

void LoadRun::send(RunEvent event) {
  if (record_) record_->observe(event);
  sink_.event(event);
}

void LoadRun::setPageText(const std::string& text, Severity severity) {
  pageText_ = text;
  send(Note{NoteArea::Page, NoteEdit::Replace, severity, text});
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

void LoadRun::appendLog(const std::string& text, Severity severity) {
  if (text.empty()) return;
  logText_ += text;
  send(Note{NoteArea::Log, NoteEdit::Append, severity, text});
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
  appendLog((atLineStart ? "" : "\r\n") + std::string("Warning: ") + warning + "\r\n", Severity::Warning);
}

void LoadRun::learnedReceiver() { send(ReceiverLearned{receiverFacts()}); }

ReceiverFacts LoadRun::receiverFacts() const {
  return receiverFactsOf(tested_, identity_, hardware_, firmwareChange_.after);
}

void LoadRun::note(const Note& n) {
  // A warning box, and an exchange summarised for "-v": neither is part of the log's text.
  if (n.area == NoteArea::Warning || n.severity == Severity::Detail) return send(n);
  const bool page = n.area == NoteArea::Page;
  switch (n.edit) {
    case NoteEdit::Append: return page ? appendPage(n.text) : appendLog(n.text, n.severity);
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
        else if constexpr (std::is_same_v<E, ev::Planned>) {
          runProgress_.plan(e.totalBytes, CMNC::Clock::system().nowMs());
          planImages(e.images);
        } else if constexpr (std::is_same_v<E, ev::ImageDone>) imageDone(e);
        else if constexpr (std::is_same_v<E, ev::Rebooted>) fileSystemReady_ = e.ready;
        else if constexpr (std::is_same_v<E, ev::Identified>) identityReport(e.identity);
        else if constexpr (std::is_same_v<E, ev::Hardware>) hardwareReport(e.version);
        else if constexpr (std::is_same_v<E, ev::Stage>) stageReport(e.stage, e.image);
        else if constexpr (std::is_same_v<E, ev::Failure>) {
          failure_ = e.reason;
          failureKind_ = e.kind;
        }
        else if constexpr (std::is_same_v<E, ev::Ended>) {
          if (e.kind == ev::Ended::Kind::Succeeded) runSucceeded(run);
          else if (e.kind == ev::Ended::Kind::Failed) runAborted(run);
          else runRefused(run, e.pageText, e.logText);
        }
      },
      event);
}

// Progress is the load's: nothing is counted before its bytes are planned.
void LoadRun::progressReport(int percent) {
  if (percent < 0 || percent > 100 || runProgress_.runTotal() == 0) return;
  const int64_t now = CMNC::Clock::system().nowMs();
  TransferProgress p;
  p.percent = runProgress_.percent();
  p.imagePercent = percent;
  p.imageCount = static_cast<int>(results_.size());
  p.imageIndex = imageIndex_;
  if (imageIndex_ > 0) p.image = results_[static_cast<std::size_t>(imageIndex_ - 1)].title;
  p.bytes = done_;
  p.total = total_;
  p.runBytes = runProgress_.runBytes();
  p.runTotal = runProgress_.runTotal();
  p.bytesPerSecond = runProgress_.bytesPerSecond(now);
  p.secondsLeft = runProgress_.secondsLeft(now);
  send(p);
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
  if (!image.empty() && image != currentImage_) {
    currentImage_ = image;
    // The image under way: the first of its title not finished yet.
    for (std::size_t i = 0; i < results_.size(); ++i)
      if (results_[i].title == image && results_[i].result == ImageResult::NotReached) {
        imageIndex_ = static_cast<int>(i) + 1;
        break;
      }
  }
  send(StageEntered{stage, image});
}

// The images the load will give a turn, in order: each not reached until it says otherwise.
void LoadRun::planImages(const std::vector<std::string>& names) {
  results_.clear();
  for (const std::string& name : names) {
    LoadedImage image;
    image.path = name;
    image.file = catalogue::baseName(name);
    image.title = catalogue::titleOf(name);
    for (const ImageFacts& f : plan_.imageFacts)
      if (f.path == name) image.file = f.name, image.size = f.size, image.sha256 = f.sha256;
    results_.push_back(image);
  }
}

void LoadRun::imageDone(const engineevent::ImageDone& done) {
  for (LoadedImage& image : results_) {
    if (image.path != done.image) continue;
    image.result = done.result;
    image.words = done.words;
    send(ImageFinished{image});
  }
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
  appendLog(logText, Severity::Error);
  if (page_ == Page::Loading) outcomeKnown_ = true;
  end();
}
