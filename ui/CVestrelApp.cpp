#include "CVestrelApp.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "ActivityLog.h"
#include "BluetoothAvailability.h"
#include "CVestrelDlg.h"
#include "CommandLine.h"

namespace {

// Without a display the offscreen platform's own chatter would only confuse the output.
void quietOffscreenMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
  if (message.contains(QLatin1String("propagateSizeHints")) || message.contains(QLatin1String("XDG_RUNTIME_DIR")))
    return;
  if (type != QtDebugMsg) std::cerr << message.toStdString() << "\n";
}

std::string withoutCarriageReturns(std::string s) {
  std::string out;
  for (char c : s)
    if (c != '\r') out += c;
  return out;
}
}  // namespace

CVestrelApp::CVestrelApp(int argc, char** argv) : argc_(argc), argv_(argv), args_(argv + 1, argv + argc) {}

bool CVestrelApp::noDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (!x || !*x) && (!w || !*w);
}

int CVestrelApp::run() {
  LoadJob probe;
  SourceKind probeKind = SourceKind::ZipArchive;
  const CommandLineResult check = parseCommandLine(args_, probe, probeKind);
  if (check.showHelp) {
    std::cout << withoutCarriageReturns(usageText() + "\r\n" + platformUsageNotes());
    return 0;
  }
  if (!check.badOption.empty()) {
    std::cerr << "vestrel: unknown option " << check.badOption << "\n\n" << withoutCarriageReturns(usageText());
    return 2;
  }
  const bool headless = noDisplay();
  if (headless) {
    if (!probe.run) {
      std::cerr << "vestrel: no display. Start it on a desktop, or load unattended with /run (see --help).\n";
      return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qInstallMessageHandler(quietOffscreenMessages);
  }
  QApplication app(argc_, argv_);
  QApplication::setOrganizationName(QStringLiteral("Telmora"));
  QApplication::setApplicationName(QStringLiteral("Vestrel"));

  job_ = LoadJob{};
  if (!args_.empty()) {
    const CommandLineResult result = parseCommandLine(args_, job_, sourceKind_);
    for (const std::string& path : result.logFiles) ActivityLog::Instance().Open(path);
  }
  CVestrelDlg::Options options;
  options.headless = headless;
  options.bluetoothAvailable = CMNC::BluetoothAvailable();
  CVestrelDlg dialog(job_, sourceKind_, images_, options);
  dialog.exec();
  const int status = dialog.exitStatus();
  ActivityLog::Instance().Close();
  return status;
}
