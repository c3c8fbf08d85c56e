#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "LoadStage.h"
#include "RunNote.h"
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
