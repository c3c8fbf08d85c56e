#pragma once
#include <QDialog>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "WizardController.h"
#include "WizardView.h"

class EngineSession;
class FirmwareImageSet;
struct LoadJob;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;

// The program's main window: the wizard's three pages as Qt widgets. It renders the wizard
// controller's control states and passes the operator's presses and choices to it; all the
// rules live in the controller, all the receiver work in the engine session.
class CVestrelDlg : public QDialog, private WizardView {
  Q_OBJECT

 public:
  struct Options {
    bool bluetoothAvailable = false;
    WizardController::PortDirectory ports;  // empty: the enumerated serial and USB ports only
  };

  CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
              Options options, QWidget* parent = nullptr);
  ~CVestrelDlg() override;

  QWidget* control(int id) const;
  // Queues a button's command, as a press would (also for disabled or hidden buttons).
  void postCommand(int id) { controller_->post(id); }
  // Runs a button's command now.
  void onCommand(int id) { controller_->press(id); }
  WizardController& controller() { return *controller_; }
  int exitStatus() const { return controller_->exitStatus(); }
  // Passes a stop signal to the controller on the dialog's thread (any thread).
  void postInterrupt(int signal);
  bool hasWorker() const { return controller_->running(); }
  std::string text(int id) const;
  // The window's own cancel (close box, Escape): stops a running load first.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  // WizardView
  void controlChanged(int id, const ControlState& state, unsigned aspects) override;
  void textAppended(int id, const std::string& added) override;
  void titleChanged(const std::string& title) override;
  void post(std::function<void()> fn) override;
  // Runs the work the worker posted, in the order it was posted (the dialog's thread).
  Q_INVOKABLE void runPosted();
  void showWarning(const std::string& text) override;
  std::string chooseSourcePath(SourceKind kind, LoadMethod method) override;
  bool pickImages(std::vector<std::string>& names, bool loaders) override;
  bool openSetUpDevices(ConnectionKind kind) override;
  void openAbout() override;
  void close(bool accepted) override;

  void buildControls();
  void layOut();
  void registerControl(int id, QWidget* widget);
  void renderList(QComboBox* list, const ControlState& state, unsigned aspects);
  void makeEditable(QComboBox* list, bool on);
  static void renderTone(QLabel* label, ControlState::Tone tone);

  bool bluetoothAvailable_;
  std::map<int, QWidget*> controls_;
  QLabel* pageText_ = nullptr;
  QPlainTextEdit* pageEdit_ = nullptr;
  QPlainTextEdit* logBox_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::mutex postedMutex_;
  std::deque<std::function<void()>> posted_;  // guarded by postedMutex_
  std::unique_ptr<WizardController> controller_;
};
