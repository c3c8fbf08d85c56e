#pragma once
#include <string>

// The results the steps of one run share: a step does nothing once ok is false, and puts its
// reason into errorText.
struct RunState {
  bool ok = true;
  std::string errorText;
  // The run was already reported as aborted (a refused upload): nothing further is reported.
  bool abortReported = false;
  // The boot-loader run held the whole set against the receiver's hardware version (at its first
  // version exchange), and how: by the numbered set's rules or the named set's.
  bool setFitChecked = false;
  bool numberedSet = false;
};

constexpr const char* kAbortedByUser = "Aborted by user";
