// Takes a picture of each state of the window during loads into the virtual receiver, and checks
// by the widgets that each state is what its picture is meant to show:
//   vestrel-screenshots OUTDIR            every page, every kind of result, the set-up dialogs
//   vestrel-screenshots OUTDIR --scaled   the connection page and a result, named "-200"
//                                         (run with QT_SCALE_FACTOR=2)
// Exits 1 when a state was not reached or not as expected.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "CBluetoothDialog.h"
#include "CTcpipDialog.h"
#include "CVestrelDlg.h"
#include "ControlIds.h"
#include "DeviceStore.h"
#include "FirmwareImageSet.h"
#include "LoadSession.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "VirtualReceiver.h"

using namespace ids;

namespace {

constexpr int kTestMs = 30000;
constexpr int kLoadMs = 120000;

class Shots {
 public:
  Shots(QString out, QString suffix) : out_(std::move(out)), suffix_(std::move(suffix)) {}

  void take(QWidget& window, const char* name) {
    QTest::qWait(200);  // painted
    const QString path = out_ + QStringLiteral("/") + QString::fromLatin1(name) + suffix_ + QStringLiteral(".png");
    if (!window.grab().save(path)) fail(std::string("cannot write ") + path.toStdString());
  }
  void check(bool ok, const std::string& what) {
    if (!ok) fail(what);
  }
  void fail(const std::string& what) {
    std::fprintf(stderr, "vestrel-screenshots: %s\n", what.c_str());
    failed_ = true;
  }
  bool failed() const { return failed_; }

 private:
  QString out_, suffix_;
  bool failed_ = false;
};

bool has(const CVestrelDlg& dialog, int id, const std::string& text) {
  return dialog.text(id).find(text) != std::string::npos;
}

// One load from the source page: Next, then the wait for its end. While reaching "during" (when
// given) it calls then.
void load(CVestrelDlg& dialog, Shots& shots, const std::function<bool()>& during = {},
          const std::function<void()>& then = {}) {
  dialog.onCommand(kNext);
  if (during) {
    shots.check(QTest::qWaitFor(during, kLoadMs), "the load never reached its middle: " + dialog.text(kLogBox));
    then();
  }
  shots.check(QTest::qWaitFor([&] { return !dialog.hasWorker(); }, kLoadMs), "the load did not end");
}

void connectionPage(CVestrelDlg& dialog, Shots& shots, bool all) {
  dialog.show();
  if (all) shots.take(dialog, "page-connection-idle");
  dialog.onCommand(kTestSelect);
  shots.check(dialog.text(kCancel) == "Stop", "the port test's Stop button");
  if (all) shots.take(dialog, "page-connection-testing");
  shots.check(QTest::qWaitFor([&] { return !dialog.hasWorker(); }, kTestMs), "the port test did not end");
  shots.check(dialog.control(kNext)->isEnabled(), "the port test failed: " + dialog.text(kLogBox));
  shots.take(dialog, "page-connection");
}

void results(CVestrelDlg& dialog, VirtualReceiver& receiver, Shots& shots, const std::string& source) {
  const auto panel = [&](const char* first) {
    shots.check(dialog.text(kProgressText).rfind(first, 0) == 0, "the result panel: " + dialog.text(kProgressText));
    shots.check(!qobject_cast<QLabel*>(dialog.control(kProgressText))->styleSheet().isEmpty(), "the panel's colours");
    shots.check(dialog.text(kBack) == "Load another" && dialog.text(kCancel) == "Close", "the buttons at the end");
  };
  const auto again = [&](const ReceiverFaults& faults) {
    receiver.setFaults(faults);
    dialog.onCommand(kBack);  // "Load another": the source page, the same source
    dialog.controller().selectSourcePath(source);
  };
  ReceiverFaults faults;
  faults.silentVersionAfterFlash = true;
  again(faults);
  load(dialog, shots);
  panel("Loaded, not confirmed.");
  shots.take(dialog, "result-unconfirmed");

  again(ReceiverFaults{});
  load(dialog, shots, [&] { return has(dialog, kProgressText, "Image 2 of"); }, [&] { dialog.onCommand(kCancel); });
  panel("Stopped.");
  shots.take(dialog, "result-stopped");

  QTest::qWait(4000);  // the boot loader the stop left gives up and the firmware starts again
  faults = ReceiverFaults{};
  faults.dropLinkAfterFrames = 20;
  again(faults);
  load(dialog, shots);
  panel("Failed: ");
  shots.take(dialog, "result-failed");
}

void setUpDialogs(Shots& shots) {
  devicestore::saveHosts({{"Bench receiver 2", "Bench receiver 2", "192.168.1.40:8002:", ConnectionKind::Tcpip},
                          {"Roof antenna", "Roof antenna", "gnss-roof.example.org:8002:", ConnectionKind::Tcpip}});
  CTcpipDialog tcpip;
  tcpip.show();
  shots.take(tcpip, "setup-tcpip");
  CBluetoothDialog bluetooth(false);
  bluetooth.show();
  shots.take(bluetooth, "setup-bluetooth");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vestrel-screenshots OUTDIR [--scaled]\n");
    return 2;
  }
  const bool scaled = argc > 2 && std::string(argv[2]) == "--scaled";
  TempDir dir;
  ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);  // the stored hosts shown are the tool's own
  ::setenv("XDG_STATE_HOME", dir.path().c_str(), 1);   // and so is the load history
  QApplication app(argc, argv);
  Shots shots(QString::fromLocal8Bit(argv[1]), scaled ? QStringLiteral("-200") : QString());
  std::string error;
  sample::Options small;
  small.mainSize = 48 * 1024;
  small.boardSize = 8 * 1024;
  VirtualReceiver receiver;
  if (!sample::writeDistribution(dir.path(), small, error) || !receiver.startPty(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  receiver.run();
  LoadJob job;
  job.port = receiver.ptyPath();
  job.method = LoadMethod::SoftBreakCapture;
  SourceKind kind = SourceKind::ZipArchive;
  FirmwareImageSet images;
  LoadSession session;
  CVestrelDlg dialog(job, kind, images, session, CVestrelDlg::Options{});
  auto* methods = qobject_cast<QComboBox*>(dialog.control(kMethodList));
  methods->setCurrentIndex(methods->findData(static_cast<int>(LoadMethod::SoftBreakCapture)));
  dialog.resize(640, 560);

  connectionPage(dialog, shots, !scaled);
  const std::string source = dir.path() + "/named.zip";
  dialog.onCommand(kNext);
  dialog.controller().selectSourcePath(source);
  shots.check(has(dialog, kLogBox, "for hardware 20"), "the source page's image details");
  shots.take(dialog, "page-source");
  load(dialog, shots, [&] { return has(dialog, kProgressText, "Image 2 of"); },
       [&] { shots.take(dialog, "page-loading"); });
  shots.check(dialog.text(kProgressText) == "Loaded and confirmed. 4 of 4 flashed.", "confirmed: " + dialog.text(kProgressText));
  shots.take(dialog, "result-confirmed");
  if (!scaled) {
    results(dialog, receiver, shots, source);
    setUpDialogs(shots);
  }
  receiver.stop();
  return shots.failed() ? 1 : 0;
}
