#pragma once
#include <string>

// Where a note's text belongs: the page's text (what the run is doing), the log (what happened),
// or a warning the operator must see.
enum class NoteArea { Page, Log, Warning };
// What the note does to its area: adds its text, replaces the area's text with it, or empties the
// area (the text is empty then).
enum class NoteEdit { Append, Replace, Clear };
// How much a note matters: Detail is an exchange with the receiver summarised (shown with "-v"
// only, never logged), Instruction what the window asks the operator to do (shown in the window
// only), Info what the run does, Warning and Error what the operator must see (also "--quiet").
enum class Severity { Detail, Instruction, Info, Warning, Error };

// A text a run says, word for word as the window shows it.
struct Note {
  NoteArea area = NoteArea::Log;
  NoteEdit edit = NoteEdit::Append;
  Severity severity = Severity::Info;
  std::string text;
};
