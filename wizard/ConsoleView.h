#pragma once
#include "EventLoop.h"
#include "HeadlessConsole.h"
#include "WizardView.h"

// The wizard's view without a display: no controls to render, the texts echoed to standard
// output, warnings printed, and nobody to ask, so every question is answered "cancelled".
class ConsoleView final : public WizardView {
 public:
  explicit ConsoleView(EventLoop& loop) : loop_(loop) {}

  void controlChanged(int, const ControlState&, unsigned) override {}
  void textAppended(int, const std::string&) override {}
  void titleChanged(const std::string&) override {}
  void post(std::function<void()> fn) override { loop_.post(std::move(fn)); }
  void showWarning(const std::string& text) override { console_.warning(text); }
  std::string chooseSourcePath(SourceKind, LoadMethod) override { return {}; }
  bool pickImages(std::vector<std::string>&, bool) override { return false; }
  bool openSetUpDevices(ConnectionKind) override { return false; }
  void openAbout() override {}
  void close(bool) override { loop_.quit(); }

  void echoText(const std::string& text) override { console_.text(text); }
  void echoLineEnd() override { console_.endLine(); }
  void echoProgress(int percent) override { console_.progress(percent); }
  void echoTransfer(uint64_t done, uint64_t total) override { console_.transfer(done, total); }

 private:
  EventLoop& loop_;
  HeadlessConsole console_;
};
