#include "WizardEvents.h"

#include <type_traits>

#include "WizardController.h"
#include "WizardView.h"

namespace {

void handOn(WizardController& c, uint64_t run, const EngineEvent& event) {
  namespace ev = engineevent;
  std::visit(
      [&c, run](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, Note>) {
          if (e.area == NoteArea::Warning) c.warningReport(e.text);
          else if (e.area == NoteArea::Page) e.edit == NoteEdit::Replace ? c.pageTextReport(e.text) : c.statusReport(e.text);
          else if (e.edit == NoteEdit::Replace) c.logReplaced(e.text);
          else c.logReport(e.text);
        } else if constexpr (std::is_same_v<E, ev::Progress>) c.progressReport(e.percent);
        else if constexpr (std::is_same_v<E, ev::Transfer>) c.transferReport(e.done, e.total);
        else if constexpr (std::is_same_v<E, ev::Waiting>) c.pulseReport();
        else if constexpr (std::is_same_v<E, ev::Planned>) c.runPlanReport(e.totalBytes);
        else if constexpr (std::is_same_v<E, ev::Identified>) c.identityReport(e.identity);
        else if constexpr (std::is_same_v<E, ev::Hardware>) c.hardwareReport(e.version);
        else if constexpr (std::is_same_v<E, ev::Stage>) c.stageReport(e.stage);
        else if constexpr (std::is_same_v<E, ev::Failure>) c.failureReport(e.reason);
        else if constexpr (std::is_same_v<E, ev::Ended>) {
          if (e.kind == ev::Ended::Kind::Succeeded) c.runSucceeded(run);
          else if (e.kind == ev::Ended::Kind::Failed) c.runAborted(run);
          else c.runRefused(run, e.pageText, e.logText);
        }
      },
      event);
}

}  // namespace

void WizardEvents::report(EngineEvent event) {
  if (const auto* note = std::get_if<Note>(&event); note && note->area == NoteArea::Warning && controller_.warningShowing())
    return;  // a second warning while one is open is dropped
  const bool pageReport = changesThePage(event);
  view_.post([c = &controller_, run = run_, pageReport, event = std::move(event)] {
    if (pageReport && !c->isCurrentRun(run)) return;
    handOn(*c, run, event);
  });
}
