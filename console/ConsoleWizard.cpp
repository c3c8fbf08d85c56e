#include "ConsoleWizard.h"

#include <atomic>
#include <cstdlib>

#include "AbortSignal.h"
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
  CMNC::AbortSignal stop;
  options.headless = true;
  options.stop = &stop;
  WizardController controller(view, session, job, sourceKind, images, std::move(options));
  // What blocks this thread (a source's digest, the history's waits) watches the stop. The run's
  // abort resets it before the final row is written, so that the stop that ended the load does not
  // cut short the row that records it; a signal during that write cuts it short at once.
  std::atomic<bool> writingRow{false};
  const auto interrupt = [&loop, &controller, &stop](int signal) {
    stop.trigger();
    loop.post([&controller, signal] { controller.interrupt(signal); });
  };
  const auto again = [&writingRow, &stop](int signal) {
    if (!writingRow.load() || stop.isSet()) exitOnSecondInterrupt(signal);
    stop.trigger();
  };
  const auto finish = [&loop, &controller](int signal) {
    loop.post([&controller, signal] { controller.stopAfterImage(signal); });
    loop.postAfter(std::chrono::seconds(kFinishImageBoundS), [&controller, signal] { controller.interrupt(signal); });
  };
  const InterruptWatch watch(interrupt, again, finish);
  view.started(runStartOf(job));
  controller.start();
  loop.run();
  stop.reset();
  writingRow.store(true);
  controller.finishRecord();
  view.finished(controller.outcome());
  return controller.exitStatus();
}
