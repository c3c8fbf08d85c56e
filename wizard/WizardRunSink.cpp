#include "WizardRunSink.h"

#include <type_traits>

#include "WizardController.h"

void WizardRunSink::note(const Note& n) {
  WizardController& c = controller_;
  if (n.area == NoteArea::Warning) return c.warningReport(n.text);
  const bool page = n.area == NoteArea::Page;
  switch (n.edit) {
    case NoteEdit::Append: return page ? c.statusReport(n.text) : c.logReport(n.text);
    case NoteEdit::Clear: return page ? c.statusReport("") : c.logReport("");
    case NoteEdit::Replace: return page ? c.pageTextReport(n.text) : c.logReplaced(n.text);
  }
}

void WizardRunSink::event(const RunEvent& event) {
  std::visit(
      [this](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, Note>) note(e);
        else if constexpr (std::is_same_v<E, TransferProgress>) controller_.loadProgressReport(e);
        else if constexpr (std::is_same_v<E, StillWaiting>) controller_.loadWaitReport();
        else if constexpr (std::is_same_v<E, StageEntered>) controller_.stageReport(e.stage);
        else if constexpr (std::is_same_v<E, ReceiverLearned>) controller_.receiverReport(e.facts);
        else if constexpr (std::is_same_v<E, ImageFinished>) controller_.imageLoadedReport(e.image);
        else if constexpr (std::is_same_v<E, RunEnded>) controller_.loadEnded(e.outcome);
      },
      event);
}
