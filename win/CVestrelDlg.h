#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "DialogLayout.h"
#include "FixedFont.h"
#include "ToneColours.h"
#include "WindowIcons.h"
#include "WizardController.h"
#include "WizardView.h"

class EngineSession;
class FirmwareImageSet;
struct LoadJob;

// The program's main window on Windows: the wizard's three pages as the dialog of layout 102. It
// renders the wizard controller's control states and passes the operator's presses and choices
// to it; all the rules live in the controller, all the receiver work in the engine session.
// Reports reach it as posted window messages, never by touching a control from another thread.
class CVestrelDlg final : private WizardView {
 public:
  struct Options {
    bool bluetoothAvailable = false;
    WizardController::PortDirectory ports;
  };

  CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session, Options options);
  ~CVestrelDlg() override;
  CVestrelDlg(const CVestrelDlg&) = delete;
  CVestrelDlg& operator=(const CVestrelDlg&) = delete;

  // Runs the dialog modally until the wizard ends; returns the wizard's exit status.
  int run();
  // A stop signal (Ctrl-C on the console it was started from), from any thread.
  void interrupt(int signal);

 private:
  static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR handle(UINT message, WPARAM wParam, LPARAM lParam);
  void initialise();
  void command(int id, int notification);
  // What the operator typed into the port box, passed on when it is not the listed entry's text.
  void commitTypedPort();
  void renderList(HWND control, const ControlState& state, unsigned aspects);
  void runPosted();

  // WizardView
  void controlChanged(int id, const ControlState& state, unsigned aspects) override;
  void textAppended(int id, const std::string& added) override;
  void titleChanged(const std::string& title) override;
  void post(std::function<void()> fn) override;
  void showWarning(const std::string& text) override;
  std::string chooseSourcePath(SourceKind kind, LoadMethod method) override;
  bool pickImages(std::vector<std::string>& names, bool loaders) override;
  bool openSetUpDevices(ConnectionKind kind) override;
  void openAbout() override;
  void close(bool accepted) override;

  // The window moved to a screen of another DPI: the suggested place, the font and icons anew.
  void dpiChanged(UINT dpi, const RECT& suggested);

  HWND hwnd_ = nullptr;
  FixedFont fixedFont_;
  DialogLayout layout_;
  WindowIcons icons_;
  ToneColours tones_;
  bool bluetoothAvailable_;
  std::unique_ptr<WizardController> controller_;
  // What post() queued for the dialog's thread; dropped once the window is gone.
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;
  bool windowGone_ = false;
};
