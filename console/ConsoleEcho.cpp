#include "ConsoleEcho.h"

#include <type_traits>

bool ConsoleEcho::shows(Severity severity) const {
  switch (severity) {
    case Severity::Instruction: return false;
    case Severity::Detail: return level_ == Level::Verbose;
    case Severity::Info: return level_ != Level::Quiet;
    case Severity::Warning:
    case Severity::Error: return true;
  }
  return true;
}

void ConsoleEcho::note(const Note& n) {
  if (n.area == NoteArea::Warning) return warning(n.text);
  if (!shows(n.severity)) return;
  const EchoSource source = n.area == NoteArea::Page ? EchoSource::Status : EchoSource::Log;
  switch (n.edit) {
    case NoteEdit::Append: return text(source, n.text);
    case NoteEdit::Clear: return endLine();
    case NoteEdit::Replace:
      // A page's new text stands on lines of its own; a log's new text starts on one.
      if (n.text.empty() && source == EchoSource::Status) return;
      endLine();
      text(source, n.text);
      if (source == EchoSource::Status) endLine();
      return;
  }
}

void ConsoleEcho::event(const RunEvent& event) {
  std::visit(
      [this](const auto& e) {
        using E = std::decay_t<decltype(e)>;
        if constexpr (std::is_same_v<E, RunStarted>) started({e.port, e.method, e.source});
        else if constexpr (std::is_same_v<E, PageEntered>) {
          if (level_ != Level::Quiet) endLine();
        }
        else if constexpr (std::is_same_v<E, Note>) note(e);
        else if constexpr (std::is_same_v<E, StageEntered>) stage(e.stage, e.image);
        else if constexpr (std::is_same_v<E, ReceiverLearned>) receiver(e.facts);
        else if constexpr (std::is_same_v<E, TransferProgress>) {
          if (level_ != Level::Quiet) progress(e);
        }
        else if constexpr (std::is_same_v<E, RunEnded>) finished(e.outcome);
      },
      event);
}
