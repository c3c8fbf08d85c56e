#pragma once
#include "WizardController.h"

// An unattended run without a display: the wizard's controller on a console view and a plain
// event loop, no window system at all. Returns the wizard's exit status.
int runConsoleWizard(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                     WizardController::Options options);
