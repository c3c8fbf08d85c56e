#include "WindowsApp.h"

#include <winsock2.h>
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <iostream>

#include "CVestrelDlg.h"
#include "ProgramRun.h"
#include "InterruptWatch.h"
#include "LoadSession.h"
#include "PortCheckRun.h"
#include "ProgramRun.h"
#include "SystemLibrary.h"
#include "WindowsText.h"

namespace {

// Bluetooth sockets and the service look-up want version 2.2 of Windows Sockets.
constexpr WORD kSocketsVersion = MAKEWORD(2, 2);

bool usableHandle(DWORD which) {
  const HANDLE h = ::GetStdHandle(which);
  return h != nullptr && h != INVALID_HANDLE_VALUE && ::GetFileType(h) != FILE_TYPE_UNKNOWN;
}

}  // namespace

WindowsApp::WindowsApp(Kind kind) : kind_(kind) {
  SystemLibrary::restrictSearch();  // before anything loads a library by name
  WSADATA data{};
  socketsStarted_ = ::WSAStartup(kSocketsVersion, &data) == 0;
}

WindowsApp::~WindowsApp() {
  if (socketsStarted_) ::WSACleanup();
}

void WindowsApp::attachParentConsole() {
  const bool out = usableHandle(STD_OUTPUT_HANDLE);
  const bool err = usableHandle(STD_ERROR_HANDLE);
  if ((out && err) || !::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  if (!out) std::freopen("CONOUT$", "w", stdout);
  if (!err) std::freopen("CONOUT$", "w", stderr);
  std::cout.clear();
  std::cerr.clear();
}

int WindowsApp::runWindow(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable) {
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  LoadSession session;
  CVestrelDlg::Options options;
  options.bluetoothAvailable = bluetoothAvailable;
  options.ports = storedOrEnumeratedPorts(bluetoothAvailable);
  CVestrelDlg dialog(job, sourceKind, images, session, std::move(options));
  const InterruptWatch watch([&dialog](int signal) { dialog.interrupt(signal); }, exitOnSecondInterrupt);
  return dialog.run();
}

int WindowsApp::run() {
  if (kind_ == Kind::Window) attachParentConsole();
  ::SetConsoleOutputCP(CP_UTF8);
  if (!socketsStarted_) {
    const char* text = "Windows sockets initialization failed.";
    std::cerr << text << "\n" << std::flush;
    ::MessageBoxW(nullptr, CMNC::windowstext::wide(text).c_str(), L"Vestrel", MB_OK | MB_ICONERROR);
    return 1;
  }
  ProgramHooks hooks;
  hooks.displayAvailable = true;
  hooks.startedFromConsole = kind_ == Kind::Console;
  hooks.runWindow = [this](LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetooth) {
    // The window program lets go of the console it borrowed to print: Ctrl-C typed at the prompt
    // that console returned to, or closing it, is the shell's business, not the window's load's.
    if (kind_ == Kind::Window) {
      std::cout << std::flush;
      std::cerr << std::flush;
      ::FreeConsole();
    }
    return runWindow(job, sourceKind, images, bluetooth);
  };
  hooks.checkPorts = [](const std::vector<PortEntry>& ports, bool json) {
    return runPortCheck(ports, *CMNC::MakeSystemProbe(), json, std::cout);
  };
  const int status = runProgram(CMNC::windowstext::commandLineArguments(), hooks);
  std::cout << std::flush;
  std::cerr << std::flush;
  return status;
}
