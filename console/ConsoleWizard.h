#pragma once
#include <memory>

#include "ConsoleEcho.h"
#include "WizardController.h"

// The second stop signal while the first is being handled: the activity log is closed and the
// program ends at once with 128 + the signal's number.
[[noreturn]] void exitOnSecondInterrupt(int signal);

// How long a gentle stop (InterruptWatch::kFinishSignal) waits for the image being written before
// the run is interrupted as by any stop signal: the largest images take minutes at 115200 bit/s.
constexpr int kFinishImageBoundS = 15 * 60;

// An unattended run without a display: the wizard's controller on a console view and a plain
// event loop, no window system at all; SIGINT, SIGTERM and SIGHUP abort it, the gentle stop ends
// it after the image being written. What the wizard shows goes to echo, which is told the outcome
// at the end. Returns the wizard's exit status.
int runConsoleWizard(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                     WizardController::Options options, std::unique_ptr<ConsoleEcho> echo);
