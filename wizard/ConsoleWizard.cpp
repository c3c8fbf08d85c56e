#include "ConsoleWizard.h"

#include <cstdlib>

#include "ActivityLog.h"
#include "ConsoleView.h"
#include "EventLoop.h"
#include "InterruptWatch.h"

void exitOnSecondInterrupt(int signal) {
  ActivityLog::Instance().Close();
  std::_Exit(128 + signal);
}

int runConsoleWizard(LoadJob& job, SourceKind& sourceKind, FirmwareImageSet& images, EngineSession& session,
                     WizardController::Options options, std::unique_ptr<ConsoleEcho> echo) {
  EventLoop loop;
  ConsoleView view(loop, std::move(echo));
  options.headless = true;
  WizardController controller(view, session, job, sourceKind, images, std::move(options));
  const InterruptWatch watch([&](int signal) { loop.post([&controller, signal] { controller.interrupt(signal); }); },
                             exitOnSecondInterrupt);
  controller.start();
  loop.run();
  view.finished({controller.exitStatus(), controller.outcomeReason(), controller.firmwareChange()});
  return controller.exitStatus();
}
