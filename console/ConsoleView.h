#pragma once
#include <memory>

#include "ConsoleEcho.h"
#include "EventLoop.h"
#include "WizardView.h"

// The wizard's view without a display: no controls to render, the texts echoed (as text or as
// JSON lines), warnings printed, and nobody to ask, so every question is answered "cancelled".
class ConsoleView final : public WizardView {
 public:
  ConsoleView(EventLoop& loop, std::unique_ptr<ConsoleEcho> echo) : loop_(loop), echo_(std::move(echo)) {}

  void controlChanged(int, const ControlState&, unsigned) override {}
  void textAppended(int, const std::string&) override {}
  void titleChanged(const std::string&) override {}
  void post(std::function<void()> fn) override { loop_.post(std::move(fn)); }
  void showWarning(const std::string& text) override { echo_->warning(text); }
  std::string chooseSourcePath(SourceKind, LoadMethod) override { return {}; }
  bool pickImages(std::vector<std::string>&, bool) override { return false; }
  bool openSetUpDevices(ConnectionKind) override { return false; }
  void openAbout() override {}
  void close(bool) override { loop_.quit(); }

  void echoText(EchoSource source, const std::string& text) override { echo_->text(source, text); }
  void echoLineEnd() override { echo_->endLine(); }
  void echoProgress(int percent) override { echo_->progress(percent); }
  void echoTransfer(uint64_t done, uint64_t total) override { echo_->transfer(done, total); }
  void echoRun(const RunTransfer& run) override { echo_->run(run); }
  void echoStage(LoadStage stage, const std::string& image) override { echo_->stage(stage, image); }
  void echoReceiver(const ReceiverFacts& facts) override { echo_->receiver(facts); }

  // The run starts: the echo says what it was asked to do.
  void started(const RunStart& start) { echo_->started(start); }

  // The run is over: the echo says how it ended.
  void finished(const RunOutcome& outcome) { echo_->finished(outcome); }

 private:
  EventLoop& loop_;
  std::unique_ptr<ConsoleEcho> echo_;
};
