#pragma once
#include <functional>
#include <string>
#include <vector>

#include "FirmwareImageSet.h"
#include "LoadJob.h"
#include "SourceKind.h"
#include "PortResolution.h"

// What a platform's program gives the shared command-line flow.
struct ProgramHooks {
  // A window can be opened (a desktop session).
  bool displayAvailable = false;
  // The program was started from a console: an unattended "/run" runs on it unless "--window"
  // asks for the window.
  bool startedFromConsole = false;
  // Runs the wizard in its window; empty where the program has none.
  std::function<int(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, bool bluetoothAvailable)> runWindow;
  // What "--check" runs on these ports; empty where the program has no pre-flight check.
  std::function<int(const std::vector<PortEntry>& ports, bool json)> checkPorts;
  // Said (with exit status 2) when the wizard's window is wanted but cannot be had.
  std::string noWindowText;
};

// The port box's lists every program offers: the stored hosts and devices (DeviceStore, the
// platform's settings), the enumerated serial and USB ports.
StoredPorts storedOrEnumeratedPorts(bool bluetoothAvailable);

// A second stop signal ends the program at once: the activity log is closed, the exit status is
// 128 + the signal's number.
[[noreturn]] void exitOnSecondInterrupt(int signal);

// The program's flow, the same on every platform: reads the command line, answers --help,
// --version, --list-ports and --check, runs an unattended "/run" on the console or the wizard in
// its window, and returns the exit status (0 success, 1 failed or aborted unattended run, 2 bad
// usage, 128 + a signal's number when stopped by one).
int runProgram(const std::vector<std::string>& args, const ProgramHooks& hooks);
