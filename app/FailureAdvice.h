#pragma once
#include <optional>
#include <string>

#include "FailureKind.h"
#include "LoadMethod.h"
#include "LoadStage.h"

// Where a run stood when it ended, for the remedy line.
struct FailureContext {
  FailureKind kind = FailureKind::None;
  LoadMethod method = LoadMethod::SoftBreakCapture;
  bool loading = false;         // the load had begun: the receiver was being written
  std::string image;            // the title of the image under way, when one was
  bool flashImage = false;      // that image is written to flash (not run from RAM, not a data file)
};

// One line that says what the operator can do about the run's end; "" for None.
std::string remedyFor(const FailureContext& context);
