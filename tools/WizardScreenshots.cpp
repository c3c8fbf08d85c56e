// Takes a picture of each wizard page during a load into the virtual receiver:
//   vestrel-screenshots OUTDIR
#include <QApplication>
#include <QComboBox>
#include <QTest>
#include <cstdio>

#include "CVestrelDlg.h"
#include "ControlIds.h"
#include "FirmwareImageSet.h"
#include "LoadSession.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "VirtualReceiver.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: vestrel-screenshots OUTDIR\n");
    return 2;
  }
  QApplication app(argc, argv);
  const QString out = QString::fromLocal8Bit(argv[1]);
  TempDir dir;
  std::string error;
  VirtualReceiver receiver;
  if (!sample::writeDistribution(dir.path(), sample::Options{}, error) || !receiver.startPty(error)) {
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
  auto* methods = qobject_cast<QComboBox*>(dialog.control(ids::kMethodList));
  methods->setCurrentIndex(methods->findData(static_cast<int>(LoadMethod::SoftBreakCapture)));
  dialog.show();
  dialog.onCommand(ids::kTestSelect);
  (void)QTest::qWaitFor([&] { return !dialog.hasWorker(); }, 30000);
  QTest::qWait(300);
  dialog.grab().save(out + QStringLiteral("/page-connection.png"));
  dialog.onCommand(ids::kNext);
  dialog.controller().selectSourcePath(dir.path() + "/named.zip");
  QTest::qWait(300);
  dialog.grab().save(out + QStringLiteral("/page-source.png"));
  dialog.onCommand(ids::kNext);
  (void)QTest::qWaitFor([&] { return dialog.text(ids::kPageEdit).find("Loading Main firmware") != std::string::npos; }, 60000);
  QTest::qWait(400);
  dialog.grab().save(out + QStringLiteral("/page-loading.png"));
  (void)QTest::qWaitFor([&] { return !dialog.hasWorker(); }, 60000);
  receiver.stop();
  return dialog.text(ids::kPageEdit).find("Successfully loaded!") != std::string::npos ? 0 : 1;
}
