#pragma once
#include <ostream>
#include <string>
#include <vector>

#include "ReceiverState.h"

// What the fleet prints while it runs and at the end. On a terminal, a live table with a row per
// receiver, redrawn in place; otherwise one line per stage change. Used on the fleet's thread.
class FleetDisplay {
 public:
  FleetDisplay(std::ostream& out, bool liveTable) : out_(out), live_(liveTable) {}

  // A receiver's stage changed (a line of its own without a terminal).
  void stageChanged(const ReceiverState& receiver);
  // Redraws the live table (nothing without a terminal).
  void refresh(const std::vector<ReceiverState>& receivers);

  // The end: each receiver's result, firmware before and after, time and failure reason.
  // A load the receiver did not confirm counts as loaded only when allowed.
  static std::string summaryText(const std::vector<ReceiverState>& receivers, bool allowUnconfirmed = false);
  // Start and end of each load are seconds since the fleet started.
  static std::string summaryJson(const std::vector<ReceiverState>& receivers, int exitStatus,
                                 ReceiverState::Clock::time_point fleetStart, bool allowUnconfirmed = false);
  // "11.3 kB/s", "" when not known.
  static std::string rateText(double bytesPerSecond);
  // "3 min", "40 s", "" when not known.
  static std::string leftText(int seconds);

 private:
  std::ostream& out_;
  bool live_;
  std::size_t drawnLines_ = 0;
};
