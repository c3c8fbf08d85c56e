#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "LoadStage.h"
#include "RunOutcome.h"

// What a run reports, as typed events: one stream for every front end. Texts are made at the
// edges (the activity log, the console, JSON lines, the window), each a RunSink.

// What the run was asked to do.
struct RunStarted {
  std::string port;    // as given, any password left out
  std::string method;  // "soft", "power", "fldp", "data", as /capture names them
  std::string source;
};

// The run moved on to the next of its three steps, as the wizard's pages name them: a text that
// follows starts on a line of its own.
enum class RunPage { Connection, Source, Loading };
struct PageEntered {
  RunPage page = RunPage::Connection;
};

// The run entered a stage; image is the catalogue's title of the image it concerns, or empty.
struct StageEntered {
  LoadStage stage = LoadStage::Connecting;
  std::string image;
};

// How far the transfer is: the image's bytes and the whole run's.
struct TransferProgress {
  int percent = 0;        // of the image being sent, 0..100
  uint64_t bytes = 0;     // of the image sent so far
  uint64_t total = 0;     // of the image
  uint64_t runBytes = 0;  // of the whole load sent so far
  uint64_t runTotal = 0;  // of the whole load; 0 when not planned
  std::optional<int64_t> secondsLeft;  // of the whole load at the rate so far; none until known
};

// The run waits for the receiver: nothing to count.
struct StillWaiting {};

// What the run learned of the receiver so far.
struct ReceiverLearned {
  ReceiverFacts facts;
};

// Where a note's text belongs: the page's text (what the run is doing), the log (what happened),
// or a warning the operator must see.
enum class NoteArea { Page, Log, Warning };
// What the note does to its area: adds its text, replaces the area's text with it, or empties the
// area (the text is empty then).
enum class NoteEdit { Append, Replace, Clear };
enum class Severity { Info, Warning, Error };

// A text the run says, word for word as the window shows it.
struct Note {
  NoteArea area = NoteArea::Log;
  NoteEdit edit = NoteEdit::Append;
  Severity severity = Severity::Info;
  std::string text;
};

// The source was read whole and its digest taken.
struct SourceDigested {
  std::string path;
  std::string sha256;
};

// An image was written into the receiver.
struct ImageLoaded {
  LoadedImage image;
};

// The run is over; nothing follows.
struct RunEnded {
  RunOutcome outcome;
};

using RunEvent = std::variant<RunStarted, PageEntered, StageEntered, TransferProgress, StillWaiting, ReceiverLearned, Note,
                              SourceDigested, ImageLoaded, RunEnded>;
