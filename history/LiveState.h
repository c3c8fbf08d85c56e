#pragma once
#include <cstdint>
#include <optional>
#include <string>

// Where one run stands, as the line's live view shows it while it goes on: the row of the line
// server's live_runs table a station keeps up to date, keyed by the run's history id.
struct LiveState {
  std::string id;  // the run's row in the history
  std::string station;
  int64_t pid = 0;
  std::string port;  // canonical, no password
  std::string method;
  std::string source;
  std::string receiverId;
  std::string receiverModel;
  std::string workOrder;
  std::string stage;        // the stage's name ("connecting" ... "done"); empty before the first
  std::string image;        // the image under way, by its title
  int imageIndex = 0;       // from 1; 0 when none
  int imageCount = 0;
  int percent = 0;          // of the whole load
  std::optional<int64_t> secondsLeft;
  std::string outcome;      // empty while the run goes on
  std::string failureKind;  // why it did not end confirmed
  std::string reason;
};

// A run's live row as the line's view reads it back: the state and its times (ISO 8601 UTC).
struct LiveRow {
  LiveState state;
  std::string startedAt;
  std::string updatedAt;
  std::string endedAt;  // empty while the run goes on
  int64_t ageMs = 0;    // since the station's last write, on the server's clock
};
