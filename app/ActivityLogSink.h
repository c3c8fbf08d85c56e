#pragma once
#include "RunSink.h"

// The activity log's words for a run's events: every text the window's page and log box show (the
// page's text and its edit box each write what they are given, as the window always did), the
// source's digest and each loaded image's digest.
class ActivityLogSink final : public RunSink {
 public:
  void event(const RunEvent& event) override;
};
