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

// How far the load is: the whole load's percentage (from its bytes: it never goes back, and 100
// comes once, at the end of a load that went through), the image under way among the load's, the
// transfer's bytes and the whole load's.
struct TransferProgress {
  int percent = 0;        // of the whole load, 0..100
  int imagePercent = 0;   // of the step under way (a transfer, the wait for a restart), 0..100
  std::string image;      // the title of the image under way; empty between images
  int imageIndex = 0;     // its place among the load's images, from 1; 0 when none
  int imageCount = 0;     // the load's images
  uint64_t bytes = 0;     // of the transfer sent so far
  uint64_t total = 0;     // of the transfer
  uint64_t runBytes = 0;  // of the whole load sent so far
  uint64_t runTotal = 0;  // of the whole load
  double bytesPerSecond = 0;           // the whole load's rate so far; 0 until known
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

// One of the load's images had its turn: its result says what came of it.
struct ImageFinished {
  LoadedImage image;
};

// The run is over; nothing follows.
struct RunEnded {
  RunOutcome outcome;
};

using RunEvent = std::variant<RunStarted, PageEntered, StageEntered, TransferProgress, StillWaiting, ReceiverLearned, Note,
                              SourceDigested, ImageFinished, RunEnded>;
