#pragma once
#include <QDialog>
#include <atomic>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CommandChannel.h"
#include "LoadJob.h"
#include "PortEntry.h"
#include "PortTest.h"
#include "SourceKind.h"

class DialogEvents;
class FirmwareImageSet;
class HeadlessConsole;
class LoadWorker;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;

// The program's main window: a three-page wizard (connection, source, loading) that owns the
// command channel and at most one worker, and turns the engine's reports into its texts.
class CVestrelDlg : public QDialog {
  Q_OBJECT

 public:
  struct Options {
    bool headless = false;            // no display: echo texts, never wait for a click
    bool bluetoothAvailable = false;
    CommandChannel::PortFactory portFactory;  // tests inject their links here
  };

  CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, Options options,
              QWidget* parent = nullptr);
  ~CVestrelDlg() override;

  QWidget* control(int id) const;
  // Queues a button's command, as a press would (also for disabled or hidden buttons).
  void postCommand(int id);
  // Runs a button's command now.
  void onCommand(int id);
  // 0 after a successful load or an interactive session, 1 after an unattended run failed.
  int exitStatus() const { return exitStatus_; }
  int currentPage() const { return currentPage_; }
  bool hasWorker() const { return worker_ != nullptr; }
  std::string text(int id) const;
  // The source page's "Select" once a path was chosen (by the file dialog or the command line).
  void selectSourcePath(const std::string& path);

  // Reports from the engine (on this thread, queued by DialogEvents).
  void statusReport(const std::string& text);
  void logReport(const std::string& text);
  void progressReport(int percent);
  void pulseReport();
  void warningReport(const std::string& text);
  void transferReport(uint64_t done, uint64_t total);
  void workerCommand(uint64_t worker, int id);
  bool warningShowing() const { return warningShowing_.load(); }
  // The window's own cancel (close box, Escape): stops a running load first.
  void reject() override;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  void buildControls();
  void registerControl(int id, QWidget* widget);
  void enableControl(int id, bool on);
  void showControl(int id, bool on);
  void setButtonText(int id, const std::string& text);
  void appendText(int id, const std::string& text);
  void clearText(int id);
  void setPageText(const std::string& text);

  void next();
  void back();
  void enterPage(int page);
  void showPageControls(const std::vector<int>& ids);
  void enterConnectionPage();
  void enterSourcePage();
  void enterLoadingPage();
  bool prepareLoad();
  void startLoadWorker();

  void connectionChange();
  void fillPortList(bool kindChanged);
  void portChange();
  void methodChange();
  void lockForWorker();
  void sourceChange();
  void selectSource();
  void test();
  void workerFinished();
  void cancel();
  void stopWorker();
  void startWorker(LoadMethod method, std::function<uint32_t(LoadWorker&)> procedure);
  void endUnattended(bool success);
  void updateTitle();
  void openAbout();
  void openSetUpDevices();
  int chosenPortIndex() const;
  ConnectionKind chosenConnection() const;

  LoadJob& job_;
  SourceKind& sourceKind_;
  FirmwareImageSet& images_;
  Options options_;
  std::unique_ptr<HeadlessConsole> console_;
  std::map<int, QWidget*> controls_;
  QLabel* pageText_ = nullptr;
  QPlainTextEdit* pageEdit_ = nullptr;
  QComboBox* connectionList_ = nullptr;
  QComboBox* portList_ = nullptr;
  QComboBox* methodList_ = nullptr;
  QComboBox* speedList_ = nullptr;
  QComboBox* blockSizeList_ = nullptr;
  QPlainTextEdit* logBox_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* percent_ = nullptr;
  QLabel* spinner_ = nullptr;

  int currentPage_ = 0, nextPage_ = 0, previousPage_ = 0;
  int portIndex_ = -1;
  int sourceIndex_ = -1;
  PortEntry portEntry_;
  std::vector<PortEntry> ports_;
  LoadMethod selectedMethod_ = LoadMethod::SoftBreakCapture;
  std::optional<LoadMethod> testedMethod_;
  bool portBPowerSlots_ = false;
  std::unique_ptr<CommandChannel> channel_;
  std::unique_ptr<DialogEvents> events_;
  std::unique_ptr<LoadWorker> worker_;
  uint64_t workerSerial_ = 0;
  PortTestSetup portTest_;
  std::string titleBase_ = "Vestrel", titlePort_, receiverModel_, receiverPort_;
  std::atomic<bool> warningShowing_{false};
  int exitStatus_ = 0;
};
