#include "CVestrelDlg.h"

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
#include <QLineEdit>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QVBoxLayout>

#include "CAboutDlg.h"
#include "CFileSelectorDialog.h"
#include "ControlIds.h"
#include "SetUpDevices.h"
#include "WizardModel.h"

using namespace ids;

namespace {
QString q(const std::string& s) { return QString::fromStdString(s); }
std::string s(const QString& q) { return q.toStdString(); }
QString display(const std::string& text) { return q(text).remove(QLatin1Char('\r')); }
}  // namespace

CVestrelDlg::CVestrelDlg(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                         Options options, QWidget* parent)
    : QDialog(parent), bluetoothAvailable_(options.bluetoothAvailable) {
  buildControls();
  layOut();
  WizardController::Options wizard;
  wizard.bluetoothAvailable = options.bluetoothAvailable;
  wizard.ports = std::move(options.ports);
  controller_ = std::make_unique<WizardController>(static_cast<WizardView&>(*this), session, job, sourceKind, images, std::move(wizard));
  for (const auto& [id, state] : controller_->controls().all()) controlChanged(id, state, ~0u);
  setWindowTitle(q(controller_->title()));
  controller_->start();
}

CVestrelDlg::~CVestrelDlg() { controller_.reset(); }  // stops a run before the widgets go

// ---------------------------------------------------------------------------------------------
// Controls

void CVestrelDlg::registerControl(int id, QWidget* widget) {
  widget->setObjectName(QStringLiteral("control%1").arg(id));
  controls_[id] = widget;
  if (auto* button = qobject_cast<QPushButton*>(widget)) {
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, id] { controller_->press(id); });
  } else if (auto* list = qobject_cast<QComboBox*>(widget)) {
    connect(list, &QComboBox::currentIndexChanged, this, [this, id](int index) {
      if (index >= 0) controller_->choose(id, index);
    });
  }
}

void CVestrelDlg::buildControls() {
  const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  pageText_ = new QLabel(this);
  pageText_->setWordWrap(true);
  pageText_->setAlignment(Qt::AlignTop | Qt::AlignLeft);
  pageText_->setMinimumHeight(110);
  pageEdit_ = new QPlainTextEdit(this);
  pageEdit_->setReadOnly(true);
  pageEdit_->setMaximumHeight(110);
  // The page's own text reads as the page, not as a second log: no frame, the window's colour.
  pageEdit_->setFrameShape(QFrame::NoFrame);
  pageEdit_->setStyleSheet(QStringLiteral("QPlainTextEdit { background: palette(window); }"));
  logBox_ = new QPlainTextEdit(this);
  logBox_->setReadOnly(true);
  logBox_->setFont(fixed);
  progress_ = new QProgressBar(this);
  progress_->setRange(0, 100);
  progress_->setTextVisible(false);
  auto* percent = new QLabel(this);
  percent->setAlignment(Qt::AlignCenter);
  percent->setMinimumWidth(48);
  auto* spinner = new QLabel(this);
  spinner->setAlignment(Qt::AlignCenter);
  spinner->setFont(fixed);
  spinner->setMinimumWidth(32);

  auto* progressText = new QLabel(this);
  progressText->setWordWrap(true);
  auto* stepText = new QLabel(this);
  QFont bold = stepText->font();
  bold.setBold(true);
  stepText->setFont(bold);
  const std::pair<int, QWidget*> all[] = {
      {kPageText, pageText_}, {kPageEdit, pageEdit_}, {kLogBox, logBox_}, {kProgress, progress_},
      {kPercent, percent},    {kSpinner, spinner},    {kProgressText, progressText}, {kStepText, stepText}};
  for (const auto& [id, widget] : all) registerControl(id, widget);
  for (int id : {kConnectionLabel, kPortLabel, kMethodLabel, kSpeedLabel}) registerControl(id, new QLabel(this));
  for (int id : {kConnectionList, kPortList, kMethodList, kSpeedList, kBlockSizeList})
    registerControl(id, new QComboBox(this));
  for (int id : {kSetUpDevices, kTestSelect, kFwLoaded, kBack, kCancel, kNext, kAboutButton})
    registerControl(id, new QPushButton(this));
  qobject_cast<QPushButton*>(control(kNext))->setDefault(true);
}

void CVestrelDlg::layOut() {
  auto* grid = new QGridLayout;
  const int rows[][3] = {{kConnectionLabel, kConnectionList, kSetUpDevices},
                         {kPortLabel, kPortList, kTestSelect},
                         {kMethodLabel, kMethodList, 0}};
  for (int r = 0; r < 3; ++r)
    for (int c = 0; c < 3; ++c)
      if (rows[r][c] != 0) grid->addWidget(control(rows[r][c]), r, c);
  grid->addWidget(control(kSpeedLabel), 3, 0);
  auto* speedCell = new QHBoxLayout;
  speedCell->addWidget(control(kSpeedList));
  speedCell->addWidget(control(kBlockSizeList));
  grid->addLayout(speedCell, 3, 1);
  grid->setColumnStretch(1, 1);

  auto* progressRow = new QHBoxLayout;
  progressRow->addWidget(progress_, 1);
  progressRow->addWidget(control(kPercent));
  progressRow->addWidget(control(kSpinner));

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(control(kAboutButton));
  buttons->addWidget(control(kFwLoaded));
  buttons->addStretch(1);
  for (int id : {kBack, kNext, kCancel}) buttons->addWidget(control(id));

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(control(kStepText));
  layout->addWidget(pageText_);
  layout->addWidget(pageEdit_);
  layout->addLayout(grid);
  layout->addWidget(logBox_, 1);
  layout->addLayout(progressRow);
  layout->addWidget(control(kProgressText));
  layout->addLayout(buttons);
  // The keyboard follows the page from top to bottom, the buttons last.
  const int order[] = {kConnectionList, kSetUpDevices, kPortList, kTestSelect, kMethodList, kSpeedList,
                       kBlockSizeList, kPageEdit, kLogBox, kAboutButton, kFwLoaded, kBack, kNext, kCancel};
  for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(control(order[i - 1]), control(order[i]));
  resize(640, 480);
}

QWidget* CVestrelDlg::control(int id) const {
  auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

std::string CVestrelDlg::text(int id) const {
  QWidget* w = control(id);
  if (auto* l = qobject_cast<QLabel*>(w)) return s(l->text());
  if (auto* e = qobject_cast<QPlainTextEdit*>(w)) return s(e->toPlainText());
  if (auto* b = qobject_cast<QPushButton*>(w)) return s(b->text());
  if (auto* c = qobject_cast<QComboBox*>(w)) return s(c->currentText());
  return {};
}

// ---------------------------------------------------------------------------------------------
// Rendering the controller's states

void CVestrelDlg::renderList(QComboBox* list, const ControlState& state, unsigned aspects) {
  QSignalBlocker block(list);  // the operator's choices only are passed back
  if (aspects & ControlState::kEditable) makeEditable(list, state.editable);
  if (aspects & ControlState::kItems) {
    list->clear();
    for (const auto& item : state.items) list->addItem(q(item.text), item.data);
    if (auto* model = qobject_cast<QStandardItemModel*>(list->model()))
      for (int i = 0; i < static_cast<int>(state.items.size()); ++i)
        model->item(i)->setEnabled(state.items[static_cast<std::size_t>(i)].enabled);
  }
  if (aspects & (ControlState::kCurrent | ControlState::kItems | ControlState::kEditable)) {
    list->setCurrentIndex(state.current);
    if (list->isEditable()) list->setEditText(q(state.text));
  }
}

// A box the operator may type a port into: the text is passed on when the operator presses Enter
// or leaves the box, and the controller decides what it names.
void CVestrelDlg::makeEditable(QComboBox* list, bool on) {
  if (list->isEditable() == on) return;
  list->setEditable(on);
  if (!on) return;
  list->setInsertPolicy(QComboBox::NoInsert);
  list->lineEdit()->setPlaceholderText(QStringLiteral("/dev/ttyUSB0"));
  connect(list->lineEdit(), &QLineEdit::editingFinished, this, [this, list] {
    if (list->isEditable() && list->currentText() != list->itemText(list->currentIndex()))
      controller_->typePort(s(list->currentText()));
  });
}

// The result of a load as a panel that cannot be missed: its tone's colours, bold first line.
void CVestrelDlg::renderTone(QLabel* label, ControlState::Tone tone) {
  static const char* const kStyles[] = {
      "",
      "QLabel { background: #dff3e0; color: #14461a; border: 1px solid #2e7d32; border-radius: 4px; padding: 6px; }",
      "QLabel { background: #fff4d6; color: #4d3800; border: 1px solid #b28704; border-radius: 4px; padding: 6px; }",
      "QLabel { background: #fde2e1; color: #5f1410; border: 1px solid #c62828; border-radius: 4px; padding: 6px; }"};
  label->setStyleSheet(QString::fromLatin1(kStyles[static_cast<int>(tone)]));
  QFont font = label->font();
  font.setBold(tone != ControlState::Tone::Plain);
  label->setFont(font);
}

void CVestrelDlg::controlChanged(int id, const ControlState& state, unsigned aspects) {
  QWidget* w = control(id);
  if (!w) return;
  if (aspects & ControlState::kVisible) w->setVisible(state.visible);
  if (aspects & ControlState::kEnabled) w->setEnabled(state.enabled);
  if ((aspects & ControlState::kValue) && w == progress_) progress_->setValue(state.value);
  if (aspects & ControlState::kTone)
    if (auto* l = qobject_cast<QLabel*>(w)) renderTone(l, state.tone);
  if (auto* list = qobject_cast<QComboBox*>(w)) {
    renderList(list, state, aspects);
  } else if (aspects & ControlState::kText) {
    if (auto* l = qobject_cast<QLabel*>(w)) l->setText(display(state.text));
    else if (auto* e = qobject_cast<QPlainTextEdit*>(w)) e->setPlainText(display(state.text));
    else if (auto* b = qobject_cast<QPushButton*>(w)) b->setText(q(state.text));
  }
}

void CVestrelDlg::textAppended(int id, const std::string& added) {
  if (auto* e = qobject_cast<QPlainTextEdit*>(control(id))) {
    e->moveCursor(QTextCursor::End);
    e->insertPlainText(display(added));
    if (e == logBox_) e->verticalScrollBar()->setValue(e->verticalScrollBar()->maximum());
  } else if (auto* l = qobject_cast<QLabel*>(control(id))) {
    l->setText(l->text() + display(added));
  }
}

void CVestrelDlg::postInterrupt(int signal) {
  post([this, signal] { controller_->interrupt(signal); });
}

void CVestrelDlg::titleChanged(const std::string& title) { setWindowTitle(q(title)); }

void CVestrelDlg::post(std::function<void()> fn) {
  // Qt's event queue locks in a way the thread checker cannot see, so the hand-over is made
  // under a standard mutex held until the call is queued: the work and the queued call itself
  // are then seen to reach the dialog's thread in order. The dialog is the context: a call still
  // queued when it is gone is dropped, and the work with it.
  std::lock_guard lock(postedMutex_);
  posted_.push_back(std::move(fn));
  QMetaObject::invokeMethod(this, "runPosted", Qt::QueuedConnection);
}

void CVestrelDlg::runPosted() {
  std::deque<std::function<void()>> due;
  {
    std::lock_guard lock(postedMutex_);
    due.swap(posted_);
  }
  for (auto& fn : due) fn();
}

// ---------------------------------------------------------------------------------------------
// Questions to the operator

void CVestrelDlg::showWarning(const std::string& text) {
  QMessageBox::information(this, QStringLiteral("Warning"), q(text));
}

std::string CVestrelDlg::chooseSourcePath(SourceKind kind, LoadMethod method) {
  return s(QFileDialog::getOpenFileName(this, QStringLiteral("Select the firmware"), QString(),
                                        q(wizard::fileFilter(kind, method))));
}

bool CVestrelDlg::pickImages(std::vector<std::string>& names, bool loaders) {
  CFileSelectorDialog picker(names, loaders, this);
  return picker.exec() == QDialog::Accepted;
}

bool CVestrelDlg::openSetUpDevices(ConnectionKind kind) { return setup::openSetUpDialog(kind, bluetoothAvailable_, this); }

void CVestrelDlg::openAbout() {
  CAboutDlg about(this);
  about.exec();
}

void CVestrelDlg::close(bool accepted) { done(accepted ? QDialog::Accepted : QDialog::Rejected); }

void CVestrelDlg::reject() {
  controller_->windowClosing();  // closing the window stops a running load first
  QDialog::reject();
}

void CVestrelDlg::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_F1) {
    openAbout();
    return;
  }
  // Escape while a test or a load runs is the page's own "Stop"/"Abort" button, which says what it
  // does; it never closes the window under a load.
  if (event->key() == Qt::Key_Escape && controller_->running()) {
    controller_->press(kCancel);
    return;
  }
  QDialog::keyPressEvent(event);
}

void CVestrelDlg::contextMenuEvent(QContextMenuEvent* event) {
  QMenu menu(this);
  menu.addAction(QStringLiteral("&About Vestrel..."), this, [this] { openAbout(); });
  menu.exec(event->globalPos());
}
