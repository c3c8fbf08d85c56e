#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>

#include <sqlite3.h>

#include <chrono>
#include <filesystem>

#include "AbortSignal.h"
#include "KeptOutcome.h"
#include "LoadHistory.h"
#include "Station.h"
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
  outcome.images = {{"main.ldp", "Main firmware", 196608, std::string(64, 'b'), ImageResult::Flashed, "", ""}};
  return outcome;
}

}  // namespace

// Another process holds the station's file past every wait and the program is asked to stop: the
// finished row is kept beside the file, and the next process that opens the history puts it in, so
// the run is never taken for an interrupted one.
TEST(RunRecord, AnOutcomeTheHistoryCannotTakeIsKeptBesideIt) {
  TempDir dir;
  const std::string path = dir.file("history.sqlite3");
  HistorySettings settings;
  settings.enabled = true;
  settings.path = path;
  CMNC::AbortSignal stop;
  RunRecord record(settings, &stop);
  ASSERT_EQ(record.begin(PortEntry{}, "soft", "/fw/named.zip"), "");
  const std::string id = record.id();

  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(path.c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  stop.trigger();  // a stop signal during the final write: no waiting
  const auto started = std::chrono::steady_clock::now();
  const std::string warning = record.finish(confirmedOutcome());
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "the stop is honoured at once";
  EXPECT_NE(warning.find("kept in " + path + ".outcome-" + id), std::string::npos) << warning;
  EXPECT_NE(warning.find("\r\nThe history said: "), std::string::npos) << "the store's own error on a line of its own";
  EXPECT_EQ(warning.find("not an error"), std::string::npos) << warning;
  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);

  std::string error;
  auto history = LoadHistory::open(path, error);
  ASSERT_TRUE(history) << error;
  history->markInterrupted(station::name(), [](int64_t) { return false; });
  const auto rows = history->list({}, error);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].outcome, "confirmed");
  EXPECT_FALSE(rows[0].finishedAt.empty());
  EXPECT_EQ(rows[0].images.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(path + ".outcome-" + id)) << "taken in, the kept file goes";
}

// A kept row reads back as it was written, whatever its texts hold; a damaged file is no row.
TEST(KeptOutcome, RowsReadBackWholeAndDamageIsRefused) {
  LoadRecord row;
  row.id = "id-1";
  row.pid = 42;
  row.finishedAt = "2026-12-10T01:00:00.000Z";
  row.reason = "two\nlines\twith a tab and a \\";
  row.exitStatus = 0;
  row.pending = true;
  row.images = {{"main.ldp", "Main\tfirmware", 196608, std::string(64, 'a'), "flashed"}};
  LoadRecord back;
  ASSERT_TRUE(keptoutcome::parse(keptoutcome::text(row), back));
  EXPECT_EQ(back.reason, row.reason);
  EXPECT_EQ(back.pid, 42);
  EXPECT_EQ(back.exitStatus, 0);
  EXPECT_TRUE(back.pending);
  ASSERT_EQ(back.images.size(), 1u);
  EXPECT_EQ(back.images[0].title, "Main\tfirmware");
  EXPECT_FALSE(keptoutcome::parse("vestrel-kept-outcome 1\nid\tx\nno_such_column\t1\n", back));
  EXPECT_FALSE(keptoutcome::parse("something else\n", back));
  for (const char* number : {"-", "--", "1-2", "99999999999", ""})
    EXPECT_FALSE(keptoutcome::parse(std::string("vestrel-kept-outcome 1\nid\tx\nfinished_at\tt\npid\t") + number + "\n", back))
        << "a pid of " << number;
}

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
