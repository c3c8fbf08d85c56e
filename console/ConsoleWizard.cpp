#include "ConsoleWizard.h"

#include <cstdlib>

#include "ActivityLog.h"
#include "ConsoleView.h"
#include "EventLoop.h"
#include "InterruptWatch.h"
#include "LinkKinds.h"
#include "WizardModel.h"

namespace {

// What the command line asked the run to do, named as "/capture" names the methods.
RunStart runStartOf(const LoadJob& job) {
  const char* method = methodWord(job.method, job.plainDataFile ? SourceKind::DataFile : SourceKind::ZipArchive);
  return {CMNC::ShownPortText(job.port), method, job.source};
}

}  // namespace

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
  const auto interrupt = [&loop, &controller](int signal) {
    loop.post([&controller, signal] { controller.interrupt(signal); });
  };
  const auto finish = [&loop, &controller](int signal) {
    loop.post([&controller, signal] { controller.stopAfterImage(signal); });
    loop.postAfter(std::chrono::seconds(kFinishImageBoundS), [&controller, signal] { controller.interrupt(signal); });
  };
  const InterruptWatch watch(interrupt, exitOnSecondInterrupt, finish);
  view.started(runStartOf(job));
  controller.start();
  loop.run();
  controller.finishRecord();
  view.finished(controller.outcome());
  return controller.exitStatus();
}
