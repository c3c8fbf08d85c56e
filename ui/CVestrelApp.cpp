#include "CVestrelApp.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "ActivityLog.h"
#include "BluetoothAvailability.h"
#include "CVestrelDlg.h"
#include "CommandLine.h"
#include "ConsoleText.h"
#include "ConsoleWizard.h"
#include "DeviceStore.h"
#include "HeadlessConsole.h"
#include "InterruptWatch.h"
#include "JsonConsole.h"
#include "LoadSession.h"
#include "PortCheckRun.h"
#include "PortEnumeration.h"
#include "PortListing.h"
#include "Version.h"
#include "WizardModel.h"

CVestrelApp::CVestrelApp(int argc, char** argv) : argc_(argc), argv_(argv), args_(argv + 1, argv + argc) {}

bool CVestrelApp::noDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (!x || !*x) && (!w || !*w);
}

// The port box lists the stored hosts and devices, or the enumerated ports.
WizardController::PortDirectory CVestrelApp::portDirectory(bool bluetoothAvailable) {
  return [bluetoothAvailable](ConnectionKind kind) -> std::vector<PortEntry> {
    if (kind == ConnectionKind::Tcpip) return devicestore::loadHosts();
    if (kind == ConnectionKind::Bluetooth) return devicestore::loadBluetooth(bluetoothAvailable);
    CMNC::EnumeratePorts(kind);
    return CMNC::PortList();
  };
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
  if (!check.badValue.empty()) {
    std::cerr << "vestrel: " << check.badValue << "\n";
    return 2;
  }
  if (check.showVersion) {
    std::cout << "vestrel " << VESTREL_VERSION << "\n";
    return 0;
  }
  if (check.listPorts) return listPorts(check.json);
  if (check.check) return checkPorts(probe.port);
  if (check.json && !probe.run) {
    std::cerr << "vestrel: --json goes with /run, --list-ports or --check (see --help).\n";
    return 2;
  }
  const bool headless = noDisplay() || check.json;  // a script asking for JSON wants no window
  if (headless && !probe.run) {
    std::cerr << "vestrel: no display. Start it on a desktop, or load unattended with /run (see --help).\n";
    return 2;
  }
  job_ = LoadJob{};
  if (!args_.empty()) {
    const CommandLineResult result = parseCommandLine(args_, job_, sourceKind_);
    for (const std::string& path : result.logFiles) ActivityLog::Instance().Open(path);
  }
  const bool bluetoothAvailable = CMNC::BluetoothAvailable();
  int status = 0;
  if (headless) {
    LoadSession session;
    WizardController::Options options;
    options.bluetoothAvailable = bluetoothAvailable;
    options.ports = portDirectory(bluetoothAvailable);
    std::unique_ptr<ConsoleEcho> echo;
    if (check.json) echo = std::make_unique<JsonConsole>(std::cout);
    else echo = std::make_unique<HeadlessConsole>();
    status = runConsoleWizard(job_, sourceKind_, images_, session, std::move(options), std::move(echo));
  } else {
    status = runWindow(bluetoothAvailable);
  }
  ActivityLog::Instance().Close();
  return status;
}

int CVestrelApp::listPorts(bool json) {
  const auto ports = portlisting::listPorts(portDirectory(CMNC::BluetoothAvailable()), CMNC::BluetoothAvailable());
  std::cout << (json ? portlisting::asJson(ports) : portlisting::asText(ports)) << std::flush;
  return 0;
}

// The port named with /port, or every enumerated serial and USB port.
int CVestrelApp::checkPorts(const std::string& port) {
  std::vector<PortEntry> ports;
  if (!port.empty()) {
    ports.push_back({port, "", wizard::addressOfPortName(port), wizard::kindOfPortName(port)});
  } else {
    for (ConnectionKind kind : {ConnectionKind::Serial, ConnectionKind::Usb}) {
      const auto listed = portDirectory(false)(kind);
      ports.insert(ports.end(), listed.begin(), listed.end());
    }
  }
  return runPortCheck(ports, *CMNC::MakeSystemProbe(), std::cout);
}

int CVestrelApp::runWindow(bool bluetoothAvailable) {
  QApplication app(argc_, argv_);
  QApplication::setOrganizationName(QStringLiteral("Telmora"));
  QApplication::setApplicationName(QStringLiteral("Vestrel"));
  LoadSession session;
  CVestrelDlg::Options options;
  options.bluetoothAvailable = bluetoothAvailable;
  options.ports = portDirectory(bluetoothAvailable);
  CVestrelDlg dialog(job_, sourceKind_, images_, session, std::move(options));
  const InterruptWatch watch(
      [&dialog](int signal) {
        QMetaObject::invokeMethod(&dialog, [&dialog, signal] { dialog.controller().interrupt(signal); });
      },
      exitOnSecondInterrupt);
  dialog.exec();
  return dialog.exitStatus();
}
