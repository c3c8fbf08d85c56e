#include "ConsoleWizard.h"

#include "ConsoleView.h"
#include "EventLoop.h"

int runConsoleWizard(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                     WizardController::Options options) {
  EventLoop loop;
  ConsoleView view(loop);
  options.headless = true;
  WizardController controller(view, session, job, sourceKind, images, std::move(options));
  controller.start();
  loop.run();
  return controller.exitStatus();
}
