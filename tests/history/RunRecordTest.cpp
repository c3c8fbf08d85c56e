#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include "LoadHistory.h"
#include "RunRecord.h"
#include "TempDir.h"

namespace {

// Runs with the station's own history under a folder of the test's.
class StationState {
 public:
  explicit StationState(const std::string& folder) {
    const char* before = getenv("XDG_STATE_HOME");
    saved_ = before ? before : "";
    had_ = before != nullptr;
    setenv("XDG_STATE_HOME", folder.c_str(), 1);
  }
  ~StationState() {
    if (had_) setenv("XDG_STATE_HOME", saved_.c_str(), 1);
    else unsetenv("XDG_STATE_HOME");
  }

 private:
  std::string saved_;
  bool had_ = false;
};

// A server nobody listens on: connecting is refused at once.
const char* const kServerAway = "postgresql://line@127.0.0.1:1/history?connect_timeout=2";

HistorySettings lineSettings() {
  HistorySettings settings;
  settings.enabled = true;
  settings.path = kServerAway;
  settings.toolVersion = "test";
  return settings;
}

RunOutcome confirmedOutcome() {
  RunOutcome outcome;
  outcome.kind = OutcomeKind::Confirmed;
  outcome.images = {{"main.ldp", "Main firmware", 196608, std::string(64, 'b')}};
  return outcome;
}

}  // namespace

// The server away, the run's row waits in the station's history, pending, with a warning that says
// so; completed there too. No station history to write either: the run has no row, and says why.
TEST(RunRecord, ARowTheServerCannotTakeWaitsOnTheStation) {
  TempDir dir;
  StationState state(dir.file("state"));
  RunRecord record(lineSettings());
  const std::string began = record.begin(PortEntry{}, "soft", "/fw/named.zip");
  EXPECT_NE(began.find("pending"), std::string::npos) << began;
  EXPECT_NE(began.find("--sync-history"), std::string::npos) << began;
  ASSERT_TRUE(record.open()) << "a row that waits is a row written";
  const std::string id = record.id();
  EXPECT_NE(record.finish(confirmedOutcome()).find("pending"), std::string::npos);

  std::string error;
  auto station = LoadHistory::open(dir.file("state/vestrel/history.sqlite3"), error);
  ASSERT_TRUE(station) << error;
  const auto waiting = station->pendingRows(error);
  ASSERT_EQ(waiting.size(), 1u);
  EXPECT_EQ(waiting[0].id, id);
  EXPECT_EQ(waiting[0].outcome, "confirmed");
  EXPECT_EQ(waiting[0].images.size(), 1u);

  std::ofstream(dir.file("blocked")) << "a file where a folder should be";
  StationState nowhere(dir.file("blocked/state"));
  RunRecord unwritten(lineSettings());
  const std::string warning = unwritten.begin(PortEntry{}, "soft", "/fw/named.zip");
  EXPECT_FALSE(unwritten.open());
  EXPECT_TRUE(unwritten.id().empty());
  EXPECT_NE(warning.find("not written"), std::string::npos) << warning;
  EXPECT_NE(warning.find("history server"), std::string::npos) << "it says both places failed: " << warning;
}
