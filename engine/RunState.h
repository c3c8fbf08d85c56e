#pragma once
#include <string>

// The results the steps of one run share: a step does nothing once ok is false, and puts its
// reason into errorText.
struct RunState {
  bool ok = true;
  std::string errorText;
  // The run was already reported as aborted (a refused upload): nothing further is reported.
  bool abortReported = false;
};

constexpr const char* kAbortedByUser = "Aborted by user";
