#include "CVestrelApp.h"

#include <QApplication>
#include <cstdlib>
#include <iostream>

#include "CVestrelDlg.h"
#include "ProgramRun.h"
#include "InterruptWatch.h"
#include "LoadSession.h"
#include "PortCheckRun.h"
#include "ProgramRun.h"

CVestrelApp::CVestrelApp(int argc, char** argv) : argc_(argc), argv_(argv), args_(argv + 1, argv + argc) {}

bool CVestrelApp::noDisplay() {
  const char* x = std::getenv("DISPLAY");
  const char* w = std::getenv("WAYLAND_DISPLAY");
  return (!x || !*x) && (!w || !*w);
}

int CVestrelApp::run() {
  ProgramHooks hooks;
  hooks.displayAvailable = !noDisplay();
  hooks.runWindow = [this](LoadJob& job, SourceKind& kind, FirmwareImageSet& images, bool bluetoothAvailable) {
    return runWindow(job, kind, images, bluetoothAvailable);
  };
  hooks.checkPorts = [](const std::vector<PortEntry>& ports, bool json) {
    return runPortCheck(ports, *CMNC::MakeSystemProbe(), json, std::cout);
  };
  hooks.noWindowText = "vestrel: no display. Start it on a desktop, or load unattended with /run (see --help).";
  return runProgram(args_, hooks);
}

int CVestrelApp::runWindow(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable) {
  QApplication app(argc_, argv_);
  QApplication::setOrganizationName(QStringLiteral("Telmora"));
  QApplication::setApplicationName(QStringLiteral("Vestrel"));
  LoadSession session;
  CVestrelDlg::Options options;
  options.bluetoothAvailable = bluetoothAvailable;
  options.ports = storedOrEnumeratedPorts(bluetoothAvailable);
  CVestrelDlg dialog(job, sourceKind, images, session, std::move(options));
  const InterruptWatch watch(
      [&dialog](int signal) { dialog.postInterrupt(signal); },
      exitOnSecondInterrupt);
  dialog.exec();
  return dialog.exitStatus();
}
