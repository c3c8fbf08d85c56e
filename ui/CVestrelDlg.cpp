#include "CVestrelDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "ActivityLog.h"
#include "BridgeLatch.h"
#include "CAboutDlg.h"
#include "CFileSelectorDialog.h"
#include "ControlIds.h"
#include "DeviceStore.h"
#include "DialogEvents.h"
#include "FirmwareImageSet.h"
#include "HeadlessConsole.h"
#include "ImageCatalogue.h"
#include "LoadDriver.h"
#include "LoadWorker.h"
#include "PortEnumeration.h"
#include "SetUpDevices.h"
#include "Timing.h"
#include "WizardModel.h"

using namespace ids;
namespace timing = CMNC::timing;

namespace {

QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }
QString display(const std::string& text) { return q(text).remove(QLatin1Char('\r')); }

const std::vector<int> kConnectionPage = {kCancel, kPageText, kNext, kPortList, kMethodList, kTestSelect,
                                          kMethodLabel, kPortLabel, kLogBox, kSpeedLabel, kSpeedList,
                                          kConnectionList, kConnectionLabel, kSetUpDevices};
const std::vector<int> kSourcePage = {kCancel, kBack, kNext, kPageText, kPortList, kPortLabel, kTestSelect, kLogBox};
const std::vector<int> kLoadingPage = {kCancel, kBack, kPageEdit, kLogBox};

}  // namespace

CVestrelDlg::CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, Options options,
                         QWidget* parent)
    : QDialog(parent),
      job_(job),
      sourceKind_(sourceKind),
      images_(images),
      options_(std::move(options)),
      channel_(std::make_unique<CommandChannel>(options_.portFactory)) {
  if (options_.headless) console_ = std::make_unique<HeadlessConsole>();
  setWindowTitle(q(titleBase_));
  buildControls();
  {
    QSignalBlocker block(connectionList_);
    for (const auto& kind : wizard::connectionKinds(options_.bluetoothAvailable))
      connectionList_->addItem(q(kind.text), static_cast<int>(kind.value));
  }
  if (job_.run) selectedMethod_ = job_.method;
  for (int size : wizard::blockSizes()) blockSizeList_->addItem(QString::number(size), size);
  blockSizeList_->setCurrentIndex(blockSizeList_->findData(wizard::kDefaultBlockSize));
  onCommand(kNext);  // the first page is entered as "Next >>" would
}

CVestrelDlg::~CVestrelDlg() { stopWorker(); }

// ---------------------------------------------------------------------------------------------
// Controls

void CVestrelDlg::registerControl(int id, QWidget* widget) {
  widget->setObjectName(QStringLiteral("control%1").arg(id));
  controls_[id] = widget;
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { onCommand(id); });
  }
}

void CVestrelDlg::buildControls() {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  pageText_ = new QLabel(QStringLiteral("Static"), this);
  pageText_->setWordWrap(true);
  pageText_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  pageText_->setMinimumHeight(110);
  pageEdit_ = new QPlainTextEdit(this);
  pageEdit_->setReadOnly(true);
  pageEdit_->setMaximumHeight(110);
  connectionList_ = new QComboBox(this);
  portList_ = new QComboBox(this);
  methodList_ = new QComboBox(this);
  speedList_ = new QComboBox(this);
  blockSizeList_ = new QComboBox(this);
  logBox_ = new QPlainTextEdit(this);
  logBox_->setReadOnly(true);
  logBox_->setFont(fixed);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  percent_ = new QLabel(QStringLiteral("100%"), this);
  percent_->setAlignment(Qt::AlignCenter);
  percent_->setMinimumWidth(48);
  spinner_ = new QLabel(QStringLiteral("|"), this);
  spinner_->setAlignment(Qt::AlignCenter);
  spinner_->setFont(fixed);
  spinner_->setMinimumWidth(32);

  auto* connectionLabel = new QLabel(QStringLiteral("Connection:"), this);
  auto* portLabel = new QLabel(QStringLiteral("Serial port:"), this);
  auto* methodLabel = new QLabel(QStringLiteral("Loading method:"), this);
  auto* speedLabel = new QLabel(QStringLiteral("Block size:"), this);
  auto* setUp = new QPushButton(QStringLiteral("Set up devices"), this);
  auto* testSelect = new QPushButton(QStringLiteral("Test"), this);
  auto* fwLoaded = new QPushButton(QStringLiteral("FW Loaded!"), this);
  auto* backButton = new QPushButton(QStringLiteral("<< Back"), this);
  auto* cancelButton = new QPushButton(QStringLiteral("Cancel"), this);
  auto* nextButton = new QPushButton(QStringLiteral("Next >>"), this);
  nextButton->setDefault(true);

  const std::pair<int, QWidget*> all[] = {
      {kPageText, pageText_},         {kPageEdit, pageEdit_},       {kConnectionLabel, connectionLabel},
      {kConnectionList, connectionList_}, {kSetUpDevices, setUp},   {kPortLabel, portLabel},
      {kPortList, portList_},         {kTestSelect, testSelect},    {kMethodLabel, methodLabel},
      {kMethodList, methodList_},     {kSpeedLabel, speedLabel},    {kSpeedList, speedList_},
      {kBlockSizeList, blockSizeList_}, {kLogBox, logBox_},         {kFwLoaded, fwLoaded},
      {kProgress, progress_},         {kPercent, percent_},         {kSpinner, spinner_},
      {kBack, backButton},            {kCancel, cancelButton},      {kNext, nextButton}};
  for (const auto& [id, widget] : all) registerControl(id, widget);

  auto* grid = new QGridLayout;
  grid->addWidget(connectionLabel, 0, 0);
  grid->addWidget(connectionList_, 0, 1);
  grid->addWidget(setUp, 0, 2);
  grid->addWidget(portLabel, 1, 0);
  grid->addWidget(portList_, 1, 1);
  grid->addWidget(testSelect, 1, 2);
  grid->addWidget(methodLabel, 2, 0);
  grid->addWidget(methodList_, 2, 1);
  grid->addWidget(speedLabel, 3, 0);
  auto* speedCell = new QHBoxLayout;
  speedCell->addWidget(speedList_);
  speedCell->addWidget(blockSizeList_);
  grid->addLayout(speedCell, 3, 1);
  grid->setColumnStretch(1, 1);

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(progress_, 1);
  progressRow->addWidget(percent_);
  progressRow->addWidget(spinner_);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(fwLoaded);
  buttons->addStretch(1);
  buttons->addWidget(backButton);
  buttons->addWidget(nextButton);
  buttons->addWidget(cancelButton);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(pageText_);
  layout->addWidget(pageEdit_);
  layout->addLayout(grid);
  layout->addWidget(logBox_, 1);
  layout->addLayout(progressRow);
  layout->addLayout(buttons);
  resize(640, 480);

  connect(connectionList_, &QComboBox::currentIndexChanged, this, [this] { connectionChange(); });
  connect(portList_, &QComboBox::currentIndexChanged, this, [this] {
    if (currentPage_ == 0) portChange();
    else if (currentPage_ == 1) sourceChange();
  });
  connect(methodList_, &QComboBox::currentIndexChanged, this, [this] { methodChange(); });
  connect(speedList_, &QComboBox::currentIndexChanged, this, [this] {
    if (speedList_->currentIndex() >= 0) job_.speed = static_cast<uint32_t>(speedList_->currentData().toInt());
  });
}

QWidget* CVestrelDlg::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void CVestrelDlg::enableControl(int id, bool on) {
  if (QWidget* w = control(id)) w->setEnabled(on);
}

void CVestrelDlg::showControl(int id, bool on) {
  if (QWidget* w = control(id)) w->setVisible(on);
}

void CVestrelDlg::setButtonText(int id, const std::string& text) {
  if (auto* b = qobject_cast<QPushButton*>(control(id))) b->setText(q(text));
}

std::string CVestrelDlg::text(int id) const {
  QWidget* w = control(id);
  if (auto* l = qobject_cast<QLabel*>(w)) return s(l->text());
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return s(e->toPlainText());
  if (auto* b = qobject_cast<QPushButton*>(w)) return s(b->text());
  if (auto* c = qobject_cast<QComboBox*>(w)) return s(c->currentText());
  return {};
}

// Appending to a text control: the text goes to the control, the activity log and, without a
// display, to standard output.
void CVestrelDlg::appendText(int id, const std::string& text) {
  if (text.empty()) return;
  if (id == kLogBox) {
    logBox_->moveCursor(QTextCursor::End);
    logBox_->insertPlainText(display(text));
    logBox_->verticalScrollBar()->setValue(logBox_->verticalScrollBar()->maximum());
  } else if (id == kPageEdit) {
    pageEdit_->moveCursor(QTextCursor::End);
    pageEdit_->insertPlainText(display(text));
  } else if (id == kPageText) {
    pageText_->setText(pageText_->text() + display(text));
  }
  ActivityLog::Instance().Write(text);
  if (console_ && id != kPageEdit) console_->text(text);
}

void CVestrelDlg::clearText(int id) {
  if (id == kLogBox) logBox_->clear();
  else if (id == kPageEdit) pageEdit_->clear();
  else if (id == kPageText) pageText_->clear();
  ActivityLog::Instance().Write("\r\n");
  if (console_) console_->endLine();
}

void CVestrelDlg::setPageText(const std::string& text) {
  pageText_->setText(display(text));
  pageEdit_->setPlainText(display(text));
  if (text.empty()) return;
  ActivityLog::Instance().Write(text);
  if (console_) {
    console_->text(text);
    console_->endLine();
  }
}

void CVestrelDlg::postCommand(int id) {
  QMetaObject::invokeMethod(this, [this, id] { onCommand(id); }, Qt::QueuedConnection);
}

void CVestrelDlg::onCommand(int id) {
  switch (id) {
    case kBack: back(); break;
    case kNext: next(); break;
    case kCancel: cancel(); break;
    case kTestSelect:
      if (currentPage_ == 0) test();
      else if (currentPage_ == 1) selectSource();
      break;
    case kFwLoaded: workerFinished(); break;
    case kSetUpDevices: openSetUpDevices(); break;
    case kAboutButton:
    case kAboutCommand: openAbout(); break;
    default: break;
  }
}

// ---------------------------------------------------------------------------------------------
// Reports

void CVestrelDlg::statusReport(const std::string& text) {
  if (text.empty()) {
    pageText_->clear();
    pageEdit_->clear();
    ActivityLog::Instance().Write("\r\n");
    if (console_) console_->endLine();
    return;
  }
  appendText(kPageText, text);
  appendText(kPageEdit, text);
}

void CVestrelDlg::logReport(const std::string& text) {
  if (text.empty()) clearText(kLogBox);
  else appendText(kLogBox, text);
}

void CVestrelDlg::progressReport(int percent) {
  if (percent < 0 || percent > 100) return;
  progress_->setValue(percent);
  percent_->setText(QStringLiteral("%1%").arg(percent));
  percent_->setVisible(true);
  if (!spinner_->text().isEmpty()) spinner_->setText(q(wizard::nextSpinner(s(spinner_->text()))));
  spinner_->setVisible(percent != 100);
  if (console_) console_->progress(percent);
}

void CVestrelDlg::pulseReport() {
  progress_->setValue(progress_->value() >= 100 ? 0 : progress_->value() + 1);
  spinner_->setVisible(false);
  percent_->setVisible(false);
}

void CVestrelDlg::transferReport(uint64_t done, uint64_t total) {
  if (console_) console_->transfer(done, total);
}

void CVestrelDlg::warningReport(const std::string& text) {
  if (warningShowing_.exchange(true)) return;
  if (console_) console_->warning(text);
  else QMessageBox::information(this, QStringLiteral("Warning"), q(text));
  warningShowing_.store(false);
}

void CVestrelDlg::workerCommand(uint64_t worker, int id) {
  // A report from a worker that was already stopped (or replaced) must not act on the dialog.
  if (!worker_ || worker != workerSerial_) return;
  onCommand(id);
}

// ---------------------------------------------------------------------------------------------
// Navigation and pages

void CVestrelDlg::next() {
  if (worker_) return;
  if (nextPage_ == 1) {
    const int index = chosenPortIndex();
    if (index >= 0) portEntry_ = ports_[static_cast<std::size_t>(index)];
  }
  currentPage_ = nextPage_;
  nextPage_ += 1;
  previousPage_ = currentPage_ - 1;
  enterPage(currentPage_);
}

void CVestrelDlg::back() {
  if (worker_ || previousPage_ < 0) return;
  currentPage_ = previousPage_;
  previousPage_ -= 1;
  nextPage_ = currentPage_ + 1;
  enterPage(currentPage_);
}

void CVestrelDlg::enterPage(int page) {
  if (page == 0) enterConnectionPage();
  else if (page == 1) enterSourcePage();
  else enterLoadingPage();
  if (nextPage_ >= 3) enableControl(kNext, false);
  if (previousPage_ < 0) enableControl(kBack, false);
}

void CVestrelDlg::showPageControls(const std::vector<int>& page) {
  for (auto& [id, widget] : controls_) {
    widget->setVisible(false);
    widget->setEnabled(false);
  }
  for (int id : page) {
    showControl(id, true);
    enableControl(id, true);
  }
}

void CVestrelDlg::enterConnectionPage() {
  showPageControls(kConnectionPage);
  setPageText(wizard::connectionPageText());
  {
    QSignalBlocker block(connectionList_);
    int index = connectionList_->findData(static_cast<int>(job_.connection));
    if (index < 0) index = 0;
    connectionList_->setCurrentIndex(index);
  }
  connectionChange();
  clearText(kLogBox);
  setButtonText(kTestSelect, "Test");
  if (job_.run) {
    if (control(kNext)->isEnabled()) postCommand(kNext);
    else if (control(kTestSelect)->isEnabled()) postCommand(kTestSelect);
  }
}

ConnectionKind CVestrelDlg::chosenConnection() const {
  return static_cast<ConnectionKind>(connectionList_->currentData().toInt());
}

int CVestrelDlg::chosenPortIndex() const {
  if (portList_->currentIndex() < 0) return -1;
  const int index = portList_->currentData().toInt();
  return index >= 0 && index < static_cast<int>(ports_.size()) ? index : -1;
}

void CVestrelDlg::connectionChange() {
  if (currentPage_ != 0 || worker_) return;
  const ConnectionKind kind = chosenConnection();
  const bool changed = kind != job_.connection;
  job_.connection = kind;
  if (changed) clearText(kLogBox);
  fillPortList(changed);

  {
    QSignalBlocker block(methodList_);
    methodList_->clear();
    for (const auto& m : wizard::methodsFor(kind)) methodList_->addItem(q(m.text), static_cast<int>(m.value));
    int index = methodList_->findData(static_cast<int>(selectedMethod_));
    if (index < 0) {
      index = 0;
      selectedMethod_ = static_cast<LoadMethod>(methodList_->itemData(0).toInt());
      images_.names.clear();
    }
    methodList_->setCurrentIndex(index);
  }
  {
    QSignalBlocker block(speedList_);
    speedList_->clear();
    int chosen = -1;
    for (const SpeedEntry& e : wizard::speedsFor(kind)) {
      speedList_->addItem(q(e.text), e.speed);
      if (chosen < 0 && e.speed <= static_cast<int>(job_.speed)) chosen = speedList_->count() - 1;
    }
    if (chosen < 0) {
      chosen = 0;
      job_.speed = static_cast<uint32_t>(speedList_->itemData(0).toInt());
    }
    speedList_->setCurrentIndex(chosen);
  }
  const bool serial = kind == ConnectionKind::Serial;
  qobject_cast<QLabel*>(control(kSpeedLabel))->setText(serial ? QStringLiteral("Speed:") : QStringLiteral("Block size:"));
  showControl(kSpeedList, serial);
  showControl(kBlockSizeList, !serial);
  enableControl(kBlockSizeList, !serial);
  portChange();
}

void CVestrelDlg::fillPortList(bool kindChanged) {
  const ConnectionKind kind = job_.connection;
  if (kind == ConnectionKind::Tcpip) {
    ports_ = devicestore::loadHosts();
  } else if (kind == ConnectionKind::Bluetooth) {
    ports_ = devicestore::loadBluetooth(options_.bluetoothAvailable);
  } else {
    CMNC::EnumeratePorts(kind);
    ports_ = CMNC::PortList();
  }
  qobject_cast<QLabel*>(control(kPortLabel))->setText(kind == ConnectionKind::Serial ? QStringLiteral("Serial port:")
                                                                                     : QStringLiteral("Device:"));
  enableControl(kSetUpDevices, kind == ConnectionKind::Tcpip || kind == ConnectionKind::Bluetooth);

  int chosen = kindChanged ? -1 : portIndex_;
  if (chosen >= static_cast<int>(ports_.size())) chosen = -1;
  for (std::size_t i = 0; chosen < 0 && i < ports_.size(); ++i)
    if (ports_[i].name == job_.port) chosen = static_cast<int>(i);
  if (chosen < 0 && !job_.port.empty() && wizard::kindOfPortName(job_.port) == kind) {
    const std::string shown = wizard::displayPortName(job_.port);  // never a password
    ports_.push_back({shown, "Specified in command line (" + shown + ")", wizard::addressOfPortName(job_.port), kind});
    chosen = static_cast<int>(ports_.size()) - 1;
  }
  QSignalBlocker block(portList_);
  portList_->clear();
  for (std::size_t i = 0; i < ports_.size(); ++i) portList_->addItem(q(ports_[i].description), static_cast<int>(i));
  if (ports_.empty()) portList_->addItem(QStringLiteral("No devices found"), -1);
  portList_->setCurrentIndex(chosen >= 0 && chosen < portList_->count() ? chosen : 0);
}

void CVestrelDlg::portChange() {
  const int index = chosenPortIndex();
  if (index < 0) {
    testedMethod_.reset();
  } else {
    const PortEntry& entry = ports_[static_cast<std::size_t>(index)];
    if (portList_->currentIndex() != portIndex_ || entry.address != portEntry_.address) {
      testedMethod_.reset();
      titlePort_ = entry.name;
      receiverModel_.clear();
      updateTitle();
      portEntry_ = entry;
    }
  }
  portIndex_ = portList_->currentIndex();
  methodChange();
}

void CVestrelDlg::methodChange() {
  if (currentPage_ != 0) return;
  if (methodList_->currentIndex() >= 0) {
    const auto chosen = static_cast<LoadMethod>(methodList_->currentData().toInt());
    if ((chosen == LoadMethod::FileUpload) != (selectedMethod_ == LoadMethod::FileUpload)) {
      images_.names.clear();  // the chosen firmware is forgotten
      images_.source.clear();
    }
    selectedMethod_ = chosen;
  }
  const bool portChosen = chosenPortIndex() >= 0;
  enableControl(kTestSelect, selectedMethod_ != LoadMethod::PowerOnCapture && portChosen);
  enableControl(kNext, selectedMethod_ == LoadMethod::PowerOnCapture || testedMethod_ == selectedMethod_);
  enableControl(kMethodList, true);
  enableControl(kPortList, true);
  enableControl(kSpeedList, speedList_->count() > 1);
  if (ports_.empty()) {
    for (int id : {kTestSelect, kNext, kPortList, kSpeedList, kMethodList}) enableControl(id, false);
  }
  if (worker_) {
    lockForWorker();
  } else {
    enableControl(kConnectionList, true);
    enableControl(kSetUpDevices, job_.connection == ConnectionKind::Tcpip || job_.connection == ConnectionKind::Bluetooth);
  }
}

// While a worker runs nothing may start another one or change the link it uses.
void CVestrelDlg::lockForWorker() {
  for (int id : {kTestSelect, kNext, kBack, kPortList, kSpeedList, kMethodList, kConnectionList, kSetUpDevices,
                 kBlockSizeList})
    enableControl(id, false);
}

void CVestrelDlg::updateTitle() { setWindowTitle(q(wizard::windowTitle(titleBase_, titlePort_, receiverModel_))); }

// ---------------------------------------------------------------------------------------------
// Port test

void CVestrelDlg::test() {
  if (worker_) return;
  const int index = chosenPortIndex();
  if (index < 0 || portList_->currentIndex() != portIndex_) return;
  lockForWorker();
  clearText(kLogBox);
  const std::string opening = "Opening " + portEntry_.name + "...";
  logBox_->setPlainText(q(opening));
  ActivityLog::Instance().Write(opening);
  if (console_) console_->text(opening);
  if (!channel_->Connect(portEntry_)) {
    appendText(kLogBox, "Error opening port " + portEntry_.name + ":\r\n" + channel_->lastError() + "\r\n");
    methodChange();
    endUnattended(false);
    return;
  }
  if (portEntry_.kind == ConnectionKind::Serial) CMNC::SetBridgeLatch(channel_->GetSerialHandle(), 2, 2);
  appendText(kLogBox, "Quering receiver parameters...\r\n");
  setButtonText(kCancel, "Stop");
  portTest_ = PortTestSetup{};
  portTest_.method = selectedMethod_;
  portTest_.speeds.push_back({s(speedList_->currentText()), speedList_->currentData().toInt()});
  for (const SpeedEntry& e : wizard::speedsFor(job_.connection)) portTest_.speeds.push_back(e);
  startWorker(selectedMethod_, [this](LoadWorker& w) { return portTestProcedure(w, portTest_); });
  worker_->resume();
}

void CVestrelDlg::startWorker(LoadMethod method, std::function<uint32_t(LoadWorker&)> procedure) {
  ++workerSerial_;
  events_ = std::make_unique<DialogEvents>(this, workerSerial_);
  worker_ = std::make_unique<LoadWorker>(channel_.get(), method, portBPowerSlots_, sourceKind_, &images_,
                                         std::move(procedure), job_, *events_);
}

void CVestrelDlg::stopWorker() {
  if (!worker_) return;
  worker_->stop();
  worker_.reset();
  events_.reset();
}

void CVestrelDlg::workerFinished() {
  if (!worker_) return;
  stopWorker();
  images_.clear();
  if (currentPage_ == 0) {
    testedMethod_ = selectedMethod_;
    receiverModel_ = portTest_.model;
    receiverPort_ = portTest_.currentPort;
    portBPowerSlots_ = portTest_.portBPowerSlots;
    methodChange();
    setButtonText(kCancel, "Cancel");
    if (selectedMethod_ == LoadMethod::FileUpload) {
      const int index = speedList_->findData(channel_->currentRate());
      if (index >= 0) speedList_->setCurrentIndex(index);
    }
    updateTitle();
    if (job_.run) {
      if (control(kNext)->isEnabled()) postCommand(kNext);
      else endUnattended(false);
    }
  } else if (currentPage_ == 2) {
    setPageText("Successfully loaded!");
    progress_->setValue(100);
    setButtonText(kCancel, "Exit");
    enableControl(kBack, true);
    exitStatus_ = 0;
    if (job_.run && job_.exitWhenDone) postCommand(kCancel);
    endUnattended(true);
    channel_->setCurrentRate(channel_->previousRate());
    channel_->SetRate(channel_->previousRate(), false);
  }
}

void CVestrelDlg::cancel() {
  if (!worker_) {
    if (!job_.run) done(QDialog::Rejected);
    else endUnattended(false);
    return;
  }
  stopWorker();
  images_.clear();
  if (currentPage_ == 0) {
    testedMethod_.reset();
    receiverModel_.clear();
    updateTitle();
    methodChange();
  } else if (currentPage_ == 2) {
    setPageText("The firmware loading was aborted.");
    enableControl(kBack, true);
    channel_->setCurrentRate(channel_->previousRate());
    channel_->SetRate(channel_->previousRate(), false);
  }
  setButtonText(kCancel, "Cancel");
  endUnattended(false);
}

// An unattended run ends. Without a display nobody can go on by hand, so the program ends too.
void CVestrelDlg::endUnattended(bool success) {
  const bool wasRunning = job_.run;
  job_.run = false;
  if (!success && wasRunning) exitStatus_ = 1;
  if (options_.headless && wasRunning && !(success && job_.exitWhenDone))
    QTimer::singleShot(0, this, [this] { done(exitStatus_ == 0 ? QDialog::Accepted : QDialog::Rejected); });
}

void CVestrelDlg::reject() {
  stopWorker();  // closing the window stops a running load first
  QDialog::reject();
}

// ---------------------------------------------------------------------------------------------
// Source page

void CVestrelDlg::enterSourcePage() {
  showPageControls(kSourcePage);
  setPageText(wizard::sourcePageText());
  qobject_cast<QLabel*>(control(kPortLabel))->setText(QStringLiteral("Source:"));
  setButtonText(kTestSelect, "Select");
  setButtonText(kCancel, "Cancel");
  {
    QSignalBlocker block(portList_);
    portList_->clear();
    for (const auto& k : wizard::sourceKinds(selectedMethod_)) portList_->addItem(q(k.text), static_cast<int>(k.value));
    const int index = portList_->findData(static_cast<int>(sourceKind_));
    portList_->setCurrentIndex(index < 0 ? 0 : index);
  }
  sourceIndex_ = -1;
  sourceChange();
  if (job_.run) postCommand(kTestSelect);
}

void CVestrelDlg::sourceChange() {
  const int index = portList_->currentIndex();
  const auto kind = static_cast<SourceKind>(portList_->currentData().toInt());
  setButtonText(kTestSelect, kind == SourceKind::Folder ? "Select one..." : "Select file...");
  if (sourceIndex_ >= 0 && index != sourceIndex_) {
    images_.names.clear();
    images_.source.clear();
  }
  sourceIndex_ = index;
  sourceKind_ = kind;
  enableControl(kNext, !images_.names.empty());
  clearText(kLogBox);
  if (images_.names.empty()) {
    appendText(kLogBox, images_.source);
    if (!images_.source.empty()) ActivityLog::Instance().Write("\r\n");
    images_.source.clear();
  } else {
    appendText(kLogBox, wizard::sourceListing(images_));
  }
}

void CVestrelDlg::selectSource() {
  if (job_.run) {
    selectSourcePath(job_.source);
    return;
  }
  const QString chosen = QFileDialog::getOpenFileName(this, QStringLiteral("Select the firmware"), QString(),
                                                      q(wizard::fileFilter(sourceKind_, selectedMethod_)));
  if (!chosen.isEmpty()) selectSourcePath(s(chosen));  // cancelled: nothing changes
}

void CVestrelDlg::selectSourcePath(const std::string& path) {
  const bool loaders = selectedMethod_ != LoadMethod::FileUpload;
  const std::string error = images_.scanSource(path, sourceKind_, loaders);
  if (!error.empty()) images_.source = error;
  if (sourceKind_ == SourceKind::ZipImage && images_.names.size() > 1) {
    if (job_.run) {
      images_.names.clear();  // nobody can pick one image without a display
      images_.source = "Pick one image of the archive interactively, or name the image file itself.";
    } else {
      CFileSelectorDialog picker(images_.names, loaders, this);
      if (picker.exec() != QDialog::Accepted) images_.names.clear();
    }
  }
  sourceIndex_ = portList_->currentIndex();
  sourceChange();
  if (job_.run) {
    if (control(kNext)->isEnabled()) postCommand(kNext);
    else endUnattended(false);
  }
}

// ---------------------------------------------------------------------------------------------
// Loading page

void CVestrelDlg::enterLoadingPage() {
  showPageControls(kLoadingPage);
  enableControl(kPercent, true);
  setPageText("");
  enableControl(kNext, false);
  if (images_.names.size() == 1 && catalogue::isRamLoaderName(images_.names[0])) {
    setPageText(std::string("The file ") + catalogue::kRamLoaderFile +
                " is a helper file which can't be loaded alone. Please return back and select another file(s).");
    endUnattended(false);
  } else {
    enableControl(kBack, false);
    if (prepareLoad()) startLoadWorker();
  }
  if (!worker_) enableControl(kBack, true);
  previousPage_ = 1;
  nextPage_ = 3;
}

bool CVestrelDlg::prepareLoad() {
  if (!channel_->Connect(portEntry_)) {
    setPageText("The port " + portEntry_.name + " can't be opened. Please return back and correct the problem.");
    appendText(kLogBox, "Error opening port " + portEntry_.name + ":\r\n" + channel_->lastError() + "\r\n");
    endUnattended(false);
    return false;
  }
  int unit = receiverPort_ == "/dev/blt/a" ? 128 : 0;
  if (job_.mtu != 0) unit = static_cast<int>(job_.mtu);
  if (unit != 0) channel_->setMaxWriteChunk(std::max(unit, 32));

  if (selectedMethod_ == LoadMethod::PowerOnCapture) {
    const int handle = channel_->GetSerialHandle();
    if (CMNC::SetBridgeLatch(handle, 6, 6) == CMNC::kBridgeDone) {
      QThread::msleep(timing::kPowerSwitchOffMs);
      CMNC::SetBridgeLatch(handle, 4, 0);
      QThread::msleep(timing::kPowerSwitchOnMs);
    } else {
      setPageText("Turn your receiver on.\r\n");
    }
  } else if (selectedMethod_ == LoadMethod::SoftBreakCapture) {
    appendText(kLogBox, "Resetting the receiver...\r\n");
    channel_->Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
    channel_->SendText("\nset,reset,yes\n");
    QThread::msleep(timing::kAfterSoftResetMs);
  }
  if (selectedMethod_ != LoadMethod::FileUpload) {
    job_.directUpload = false;
    if (!channel_->SetRate(static_cast<int>(job_.speed), true)) {
      const std::string speed = std::to_string(job_.speed);
      setPageText("The port " + portEntry_.name + " does not support speed " + speed +
                  ". Please return back and correct the problem.");
      appendText(kLogBox, "Error trying to set speed to " + speed);
      images_.clear();
      channel_->Disconnect();
      endUnattended(false);
      return false;
    }
  } else {
    appendText(kLogBox, "Configuring the receiver for firmware uploading...\r\n");
    job_.directUpload = true;
  }
  return true;
}

void CVestrelDlg::startLoadWorker() {
  progress_->setRange(0, 100);
  progress_->setValue(0);
  showControl(kProgress, true);
  enableControl(kProgress, true);
  setButtonText(kCancel, "Abort");
  startWorker(selectedMethod_, nullptr);
  if (selectedMethod_ == LoadMethod::FileUpload) {
    int blockSize = blockSizeList_->currentData().toInt();
    int putTimeout = 20;
    if (portEntry_.kind == ConnectionKind::Serial) blockSize = 2048;
    if (portEntry_.kind == ConnectionKind::Bluetooth || portEntry_.kind == ConnectionKind::Tcpip) putTimeout = 60;
    worker_->directUpload = true;
    worker_->blockSize = blockSize;
    worker_->putTimeout = putTimeout;
  }
  worker_->resume();
}

// ---------------------------------------------------------------------------------------------
// About box, set-up dialogs

void CVestrelDlg::openAbout() {
  if (options_.headless) return;
  CAboutDlg about(this);
  about.exec();
}

void CVestrelDlg::openSetUpDevices() {
  if (worker_ || options_.headless) return;
  if (setup::openSetUpDialog(job_.connection, options_.bluetoothAvailable, this)) {
    portIndex_ = -1;
    connectionChange();
  }
}

void CVestrelDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    openAbout();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CVestrelDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("&About Vestrel..."), this, [this] { openAbout(); });
  menu.exec(event->globalPos());
}
