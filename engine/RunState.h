#pragma once
#include <string>

#include "FailureKind.h"

// The results the steps of one run share: a step does nothing once ok is false, and puts its
// reason into errorText.
struct RunState {
  bool ok = true;
  std::string errorText;
  FailureKind kind = FailureKind::Other;  // what kind of failure errorText tells, once ok is false
  // Sets ok false with the reason and its kind.
  void fail(FailureKind why, std::string text) {
    ok = false;
    kind = why;
    errorText = std::move(text);
  }
  // The run was already reported as aborted (a refused upload): nothing further is reported.
  bool abortReported = false;
  // The boot-loader run held the whole set against the receiver's hardware version (at its first
  // version exchange), and how: by the numbered set's rules or the named set's.
  bool setFitChecked = false;
  // The image that failed went out whole, but its flash was never acknowledged.
  bool imageSent = false;
  bool numberedSet = false;
};

constexpr const char* kAbortedByUser = "Aborted by user";
