#include <gtest/gtest.h>

#include <algorithm>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QStandardItemModel>
#include <QPushButton>
#include <QTest>

#include "CVestrelDlg.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "HeadlessConsole.h"
#include "LoadSession.h"
#include "SampleFirmware.h"
#include "SimFixture.h"
#include "TempDir.h"
#include "WizardModel.h"

using namespace ids;

namespace {

class Wizard : public SimFixture {
 protected:
  std::unique_ptr<CVestrelDlg> open(LoadMethod method) {
    job.port = receiver ? receiver->ptyPath() : "/dev/vestrel-none";
    job.method = method;
    job.run = false;
    CVestrelDlg::Options options;
    options.ports = [](ConnectionKind) { return std::vector<PortEntry>{}; };
    auto dlg = std::make_unique<CVestrelDlg>(job, kind, images, session, options);
    auto* methods = qobject_cast<QComboBox*>(dlg->control(kMethodList));
    methods->setCurrentIndex(methods->findData(static_cast<int>(method)));
    return dlg;
  }
  bool enabled(CVestrelDlg& d, int id) { return d.control(id)->isEnabled(); }
  bool visible(CVestrelDlg& d, int id) { return !d.control(id)->isHidden(); }
  LoadSession session;
  LoadJob job;
  SourceKind kind = SourceKind::ZipArchive;
  FirmwareImageSet images;
};

}  // namespace

TEST_F(Wizard, ConnectionPageControlsAndMethodRules) {
  startReceiver();
  auto dlg = open(LoadMethod::PowerOnCapture);
  EXPECT_EQ(dlg->controller().page(), WizardController::Page::Connection);
  for (int id : {kConnectionList, kPortList, kMethodList, kSpeedList, kTestSelect, kNext, kCancel, kLogBox})
    EXPECT_TRUE(visible(*dlg, id)) << id;
  for (int id : {kBack, kFwLoaded, kPageEdit, kProgress, kBlockSizeList}) EXPECT_FALSE(visible(*dlg, id)) << id;
  EXPECT_EQ(dlg->text(kPortList), "Specified in command line (" + receiver->ptyPath() + ")");
  EXPECT_TRUE(enabled(*dlg, kNext));  // power-on capture needs no test
  EXPECT_FALSE(enabled(*dlg, kTestSelect));

  auto* methods = qobject_cast<QComboBox*>(dlg->control(kMethodList));
  methods->setCurrentIndex(methods->findData(static_cast<int>(LoadMethod::SoftBreakCapture)));
  EXPECT_FALSE(enabled(*dlg, kNext));
  EXPECT_TRUE(enabled(*dlg, kTestSelect));
  dlg->onCommand(kTestSelect);
  EXPECT_TRUE(dlg->hasWorker());
  for (int id : {kTestSelect, kNext, kPortList, kMethodList, kConnectionList}) EXPECT_FALSE(enabled(*dlg, id)) << id;
  EXPECT_EQ(dlg->text(kCancel), "Stop");
  dlg->onCommand(kTestSelect);  // a second test while one runs starts nothing
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->hasWorker(); }, 30000)) << dlg->text(kLogBox);
  EXPECT_TRUE(enabled(*dlg, kNext));
  EXPECT_TRUE(enabled(*dlg, kConnectionList));
  EXPECT_EQ(dlg->text(kCancel), "Cancel");
  EXPECT_NE(dlg->windowTitle().toStdString().find("VR-100 at "), std::string::npos);

  // A test passed for one method does not open the way for another.
  methods->setCurrentIndex(methods->findData(static_cast<int>(LoadMethod::FileUpload)));
  EXPECT_FALSE(enabled(*dlg, kNext));
}

TEST_F(Wizard, StopWhileTesting) {
  startReceiver();
  auto dlg = open(LoadMethod::SoftBreakCapture);
  dlg->onCommand(kTestSelect);
  ASSERT_TRUE(dlg->hasWorker());
  dlg->onCommand(kCancel);
  EXPECT_FALSE(dlg->hasWorker());
  EXPECT_EQ(dlg->text(kCancel), "Cancel");
  EXPECT_FALSE(enabled(*dlg, kNext));
  // The aborted worker's late reports must not act on the dialog.
  QTest::qWait(200);
  EXPECT_EQ(dlg->result(), 0);
  dlg->onCommand(kTestSelect);  // and a new test can start
  EXPECT_TRUE(dlg->hasWorker());
  dlg->onCommand(kCancel);
  dlg->onCommand(kCancel);  // rapid presses
  EXPECT_FALSE(dlg->hasWorker());
}

TEST_F(Wizard, PortThatCannotBeOpened) {
  auto dlg = open(LoadMethod::SoftBreakCapture);
  dlg->onCommand(kTestSelect);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->hasWorker(); }, 10000));  // the link is opened on the worker
  EXPECT_NE(dlg->text(kLogBox).find("Error opening port /dev/vestrel-none:"), std::string::npos);
  EXPECT_TRUE(enabled(*dlg, kTestSelect));
}

TEST_F(Wizard, ReportsProgressAndSpinner) {
  auto dlg = open(LoadMethod::PowerOnCapture);
  auto* percent = qobject_cast<QLabel*>(dlg->control(kPercent));
  auto* spinner = qobject_cast<QLabel*>(dlg->control(kSpinner));
  dlg->controller().progressReport(45);
  EXPECT_EQ(percent->text(), "45%");
  EXPECT_EQ(spinner->text(), "/");
  dlg->controller().progressReport(150);  // outside 0..100: ignored
  EXPECT_EQ(percent->text(), "45%");
  dlg->controller().progressReport(100);
  EXPECT_TRUE(spinner->isHidden());
  dlg->controller().logReport("one\r\ntwo\r\n");
  EXPECT_EQ(dlg->text(kLogBox), "one\ntwo\n");
  dlg->controller().logReport("");
  EXPECT_EQ(dlg->text(kLogBox), "");
  dlg->controller().statusReport("Capturing...\r\n");
  EXPECT_EQ(dlg->text(kPageText).find("Capturing..."), dlg->text(kPageText).size() - 13);
}

TEST_F(Wizard, CancelWithoutWorkerCloses) {
  auto dlg = open(LoadMethod::PowerOnCapture);
  dlg->show();
  dlg->onCommand(kCancel);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST(WizardModel, ListsAndTexts) {
  EXPECT_EQ(wizard::nextSpinner("|"), "/");
  EXPECT_EQ(wizard::nextSpinner("/"), "\xE2\x80\x94\xE2\x80\x94");
  EXPECT_EQ(wizard::nextSpinner("\xE2\x80\x94\xE2\x80\x94"), "\\");
  EXPECT_EQ(wizard::nextSpinner("\\"), "|");
  EXPECT_EQ(wizard::nextSpinner("x"), "|");
  EXPECT_EQ(wizard::methodsFor(ConnectionKind::Tcpip).size(), 1u);
  EXPECT_EQ(wizard::speedsFor(ConnectionKind::Usb)[0].text, "Max. possible speed");
  EXPECT_EQ(wizard::sourceKinds(LoadMethod::SoftBreakCapture).size(), 4u);
  EXPECT_EQ(wizard::sourceKinds(LoadMethod::FileUpload).back().text, "Single data file");
  FirmwareImageSet set;
  set.names = {"ramimage.ldr", "main.ldp"};
  set.source = "/fw/";
  EXPECT_EQ(wizard::sourceListing(set),
            "The following files found and will be loaded:\r\n- RAM loader (ramimage.ldr)\r\n- Main firmware (main.ldp)\r\n"
            "from \"/fw/\"");
  set.names = {"main.ldp"};
  EXPECT_EQ(wizard::sourceListing(set).rfind("The following file found", 0), 0u);
  EXPECT_EQ(wizard::windowTitle("Vestrel", "", "m"), "Vestrel");
  EXPECT_EQ(wizard::windowTitle("Vestrel", "COM1", ""), "Vestrel: COM1");
  EXPECT_EQ(wizard::windowTitle("Vestrel", "COM1", "VR-100"), "Vestrel: VR-100 at COM1");
}

TEST_F(Wizard, SourcePageListsTheFilesAndLoadingPageRefusesAHelperAlone) {
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error));
  auto dlg = open(LoadMethod::PowerOnCapture);
  dlg->onCommand(kNext);
  ASSERT_EQ(dlg->controller().page(), WizardController::Page::Source);
  for (int id : {kBack, kNext, kPortList, kTestSelect, kLogBox, kPageText}) EXPECT_TRUE(visible(*dlg, id)) << id;
  for (int id : {kMethodList, kConnectionList, kSpeedList}) EXPECT_FALSE(visible(*dlg, id)) << id;
  EXPECT_EQ(dlg->text(kPortLabel), "Source:");
  EXPECT_EQ(dlg->text(kTestSelect), "Select file...");
  EXPECT_FALSE(enabled(*dlg, kNext));

  dlg->controller().selectSourcePath(dir.path() + "/nothing.zip");
  EXPECT_EQ(dlg->text(kLogBox), "Unable to open " + dir.path() + "/nothing.zip");
  EXPECT_FALSE(enabled(*dlg, kNext));
  dlg->controller().selectSourcePath(dir.path() + "/named.zip");
  EXPECT_EQ(dlg->text(kLogBox).rfind("The following files found and will be loaded:\n- RAM loader (ramimage.ldr)\n", 0), 0u);
  EXPECT_TRUE(enabled(*dlg, kNext));

  auto* kinds = qobject_cast<QComboBox*>(dlg->control(kPortList));
  kinds->setCurrentIndex(kinds->findData(static_cast<int>(SourceKind::ImageFile)));
  dlg->controller().selectSourcePath(dir.path() + "/named/ramimage.ldr");
  dlg->onCommand(kNext);
  ASSERT_EQ(dlg->controller().page(), WizardController::Page::Loading);
  EXPECT_FALSE(dlg->hasWorker());
  EXPECT_EQ(dlg->text(kPageEdit),
            "The file ramimage.ldr is a helper file which can't be loaded alone. Please return back and select another "
            "file(s).");
  EXPECT_TRUE(enabled(*dlg, kBack));
  dlg->onCommand(kBack);
  EXPECT_EQ(dlg->controller().page(), WizardController::Page::Source);
}

TEST_F(Wizard, AbortAndCloseWhileLoading) {
  ReceiverConfig off;
  off.poweredOn = false;  // the boot loader never answers: the load waits in its capture
  startReceiver(off);
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error));
  auto dlg = open(LoadMethod::PowerOnCapture);
  dlg->onCommand(kNext);
  dlg->controller().selectSourcePath(dir.path() + "/named.zip");
  dlg->onCommand(kNext);
  ASSERT_EQ(dlg->controller().page(), WizardController::Page::Loading);
  ASSERT_TRUE(dlg->hasWorker()) << dlg->text(kLogBox);
  EXPECT_EQ(dlg->text(kCancel), "Abort");
  EXPECT_FALSE(enabled(*dlg, kBack));
  QTest::qWait(300);
  dlg->onCommand(kCancel);
  EXPECT_FALSE(dlg->hasWorker());
  EXPECT_EQ(dlg->text(kPageEdit), "The firmware loading was aborted.");
  EXPECT_EQ(dlg->text(kCancel), "Close");
  EXPECT_TRUE(enabled(*dlg, kBack));

  dlg->onCommand(kBack);
  dlg->onCommand(kNext);  // load again, then close the window under it
  ASSERT_TRUE(dlg->hasWorker());
  dlg->show();
  dlg->reject();
  EXPECT_FALSE(dlg->hasWorker());
  EXPECT_FALSE(dlg->isVisible());
}

// A whole load from the window: the pages' plan run by the Loader on the window's thread, its
// events on the window's controls, its row in the load history.
TEST_F(Wizard, ALoadFromTheWindowIsTheLoadersRun) {
  startReceiver();
  TempDir dir;
  const std::string data = dir.file("settings.bin");
  std::string error;
  ASSERT_TRUE(sample::writeFile(data, std::vector<uint8_t>(20000, 0x5a), error)) << error;
  job.history.enabled = true;
  job.history.path = dir.file("history.sqlite3");
  auto dlg = open(LoadMethod::FileUpload);
  dlg->onCommand(kTestSelect);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->hasWorker(); }, 30000)) << dlg->text(kLogBox);
  dlg->onCommand(kNext);
  auto* kinds = qobject_cast<QComboBox*>(dlg->control(kPortList));
  kinds->setCurrentIndex(kinds->findData(static_cast<int>(SourceKind::DataFile)));
  dlg->controller().selectSourcePath(data);
  dlg->onCommand(kNext);
  ASSERT_EQ(dlg->controller().page(), WizardController::Page::Loading);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->hasWorker(); }, 60000)) << dlg->text(kLogBox);
  const RunOutcome outcome = dlg->controller().outcome();
  EXPECT_EQ(outcome.kind, OutcomeKind::Confirmed) << outcome.reason;
  EXPECT_EQ(dlg->controller().exitStatus(), 0);
  EXPECT_EQ(dlg->text(kPageEdit), "Successfully loaded!");
  EXPECT_EQ(dlg->text(kCancel), "Close");
  EXPECT_NE(dlg->text(kLogBox).find("Success!"), std::string::npos);
  EXPECT_FALSE(outcome.historyId.empty()) << "the load's row";
  ASSERT_EQ(outcome.images.size(), 1u);
  EXPECT_EQ(outcome.images[0].size, 20000u);
}

// The operator's own way through the window: a built-in port named though it has no description,
// Bluetooth greyed with its reason, a device path typed into the port box, and a five-image load
// whose one bar never goes back and whose end is a panel in its outcome's colours.
TEST_F(Wizard, ATypedPortLoadsFiveImagesUnderOneBar) {
  startReceiver();
  TempDir dir;
  std::string error;
  ASSERT_TRUE(sample::writeDistribution(dir.path(), sample::Options{}, error)) << error;
  job.port.clear();
  job.method = LoadMethod::SoftBreakCapture;
  CVestrelDlg::Options options;
  options.ports = [](ConnectionKind kind) {
    return kind == ConnectionKind::Serial ? std::vector<PortEntry>{{"ttyS0", "", "/dev/ttyS0", ConnectionKind::Serial}}
                                          : std::vector<PortEntry>{};
  };
  CVestrelDlg dlg(job, kind, images, session, options);
  auto* ports = qobject_cast<QComboBox*>(dlg.control(kPortList));
  EXPECT_EQ(ports->currentText().toStdString(), "ttyS0");
  auto* kinds = qobject_cast<QComboBox*>(dlg.control(kConnectionList));
  auto* model = qobject_cast<QStandardItemModel*>(kinds->model());
  const int bluetooth = kinds->findData(static_cast<int>(ConnectionKind::Bluetooth));
  ASSERT_TRUE(model && bluetooth >= 0);
  EXPECT_FALSE(model->item(bluetooth)->isEnabled());
  EXPECT_EQ(kinds->itemText(bluetooth).toStdString(), "Bluetooth (no adapter was found)");

  ASSERT_TRUE(ports->isEditable());
  ports->lineEdit()->selectAll();
  QTest::keyClicks(ports->lineEdit(), QString::fromStdString(receiver->ptyPath()));
  QTest::keyClick(ports->lineEdit(), Qt::Key_Return);
  EXPECT_EQ(dlg.text(kPortList), receiver->ptyPath());
  dlg.onCommand(kTestSelect);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.hasWorker(); }, 30000)) << dlg.text(kLogBox);
  ASSERT_TRUE(enabled(dlg, kNext)) << dlg.text(kLogBox);
  dlg.onCommand(kNext);
  dlg.controller().selectSourcePath(dir.path() + "/named.zip");
  std::vector<int> values;
  auto* bar = qobject_cast<QProgressBar*>(dlg.control(kProgress));
  QObject::connect(bar, &QProgressBar::valueChanged, [&](int v) { values.push_back(v); });
  dlg.onCommand(kNext);
  ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg.hasWorker(); }, 120000)) << dlg.text(kLogBox);

  EXPECT_EQ(dlg.controller().outcome().kind, OutcomeKind::Confirmed) << dlg.text(kLogBox);
  EXPECT_EQ(dlg.controller().outcome().images.size(), 4u);  // the RAM loader is a helper of the others
  ASSERT_FALSE(values.empty());
  EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << ::testing::PrintToString(values);
  EXPECT_EQ(values.back(), 100);
  EXPECT_GT(values.size(), 5u) << "the bar moves during the load, not only at its end";
  auto* panel = qobject_cast<QLabel*>(dlg.control(kProgressText));
  EXPECT_EQ(panel->text().toStdString(), "Loaded and confirmed. 4 of 4 flashed.");
  EXPECT_TRUE(panel->styleSheet().contains(QStringLiteral("background")));
  EXPECT_TRUE(panel->font().bold());
}
