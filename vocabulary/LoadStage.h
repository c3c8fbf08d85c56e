#pragma once
#include <optional>
#include <string>

// Where a run stands, as the engine reports it beside its texts: front ends learn what happened
// from these, never from the texts.
enum class LoadStage {
  Connecting,  // the link is being opened
  Testing,     // the port test asks the receiver who it is
  Capturing,   // the receiver is being reset or switched on and its boot loader caught
  Loading,     // an image goes to the receiver
  Flashing,    // the receiver writes a stored image to flash
  Rebooting,   // the receiver restarts with what it was given
  Confirming,  // the receiver is asked which firmware it runs now
  Done,        // the load is over and the receiver is back
};

// "connecting", "testing", ... as the JSON events and the fleet write them.
const char* stageName(LoadStage stage);
// The stage a name stands for; none for a name that is no stage.
std::optional<LoadStage> stageNamed(const std::string& name);
