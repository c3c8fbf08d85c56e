#pragma once
#include <optional>
#include <string>

// How a run ended, as a fact a script or the fleet can rely on.
enum class OutcomeKind {
  Confirmed,    // loaded, and the receiver confirmed it (answered for its firmware; a data file's size)
  Unconfirmed,  // loaded, but the receiver did not answer for its firmware afterwards
  Failed,       // a step failed (or the firmware is not the one expected)
  Aborted,      // the operator stopped it (Abort, the window's close, a stop signal)
  Refused,      // it never started: the port could not be opened, the speed was refused, no usable source
};

// "confirmed", "unconfirmed", "failed", "aborted", "refused".
const char* outcomeName(OutcomeKind kind);
// The outcome a name stands for; none for a name that is no outcome.
std::optional<OutcomeKind> outcomeNamed(const std::string& name);
