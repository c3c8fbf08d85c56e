#include "ActivityLogSink.h"

#include "ActivityLog.h"

namespace {

void note(ActivityLog& log, const Note& n) {
  if (n.area == NoteArea::Warning) return;  // a warning box is not logged
  if (n.edit == NoteEdit::Clear) return log.Write("\r\n");
  if (n.text.empty()) return;
  log.Write(n.text);
  if (n.area == NoteArea::Page && n.edit == NoteEdit::Append) log.Write(n.text);  // the page's edit box
}

}  // namespace

void ActivityLogSink::event(const RunEvent& event) {
  ActivityLog& log = ActivityLog::Instance();
  if (const auto* n = std::get_if<Note>(&event)) note(log, *n);
  else if (const auto* s = std::get_if<SourceDigested>(&event))
    log.Write("Source digest (SHA-256): " + s->sha256 + "  " + s->path + "\r\n");
  else if (const auto* i = std::get_if<ImageFinished>(&event); i && i->image.result != ImageResult::NotReached)
    log.Write("Image digest (SHA-256): " + i->image.sha256 + "  " + i->image.file + "\r\n");
}
