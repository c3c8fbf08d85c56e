#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

#include "HistoryClock.h"
#include "HistoryListing.h"
#include "HistoryFiles.h"
#include "LoadHistory.h"
#include "NetworkFileSystem.h"
#include "SqliteDb.h"
#include "Station.h"
#include "TempDir.h"

namespace {

LoadRecord rowOf(const std::string& id, const std::string& started, const std::string& port, const std::string& receiver) {
  LoadRecord row;
  row.id = id;
  row.startedAt = started;
  row.station = "bench-1";
  row.pid = 4242;
  row.port = port;
  row.link = "serial";
  row.method = "soft";
  row.receiverId = receiver;
  return row;
}

}  // namespace

// A run's row as it is begun and completed, its images in order, and the filters of a listing.
TEST(LoadHistory, RowsAreBegunCompletedAndListedNewestFirst) {
  TempDir dir;
  auto history = openHistoryAt(dir.file("state/vestrel/history.sqlite3"));  // the folders are made
  ASSERT_TRUE(history);
  std::string error;
  LoadRecord first = rowOf("a", "2026-12-01T08:00:00.000Z", "/dev/ttyUSB0", "R-1");
  LoadRecord second = rowOf("b", "2026-12-05T08:00:00.000Z", "tcp:rover:8002", "R-2");
  LoadRecord third = rowOf("c", "2026-12-09T08:00:00.000Z", "/dev/ttyUSB0", "R-1");
  for (const LoadRecord* row : {&first, &second, &third}) ASSERT_TRUE(history->begin(*row, error)) << error;
  EXPECT_FALSE(history->begin(first, error)) << "an id is written once";

  third.finishedAt = "2026-12-09T08:03:00.000Z";
  third.outcome = "confirmed";
  third.stage = "done";
  third.exitStatus = 0;
  third.firmwareAfter = "4.3";
  third.images = {{"ramimage.ldr", "RAM loader", 6144, std::string(64, '1'), "flashed"}, {"main.ldp", "Main firmware", 196608, std::string(64, '2'), "flashed"}};
  ASSERT_TRUE(history->finish(third, error)) << error;
  ASSERT_TRUE(history->finish(third, error)) << "finishing again replaces, never doubles, the images";

  auto rows = history->list({}, error);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].id, "c");
  EXPECT_EQ(rows[0].outcome, "confirmed");
  EXPECT_EQ(rows[0].exitStatus, 0);
  ASSERT_EQ(rows[0].images.size(), 2u);
  EXPECT_EQ(rows[0].images[0].file, "ramimage.ldr");
  EXPECT_EQ(rows[0].images[1].sha256, std::string(64, '2'));
  EXPECT_EQ(rows[2].id, "a");
  EXPECT_FALSE(rows[2].exitStatus) << "a run still going has no exit status";
  EXPECT_TRUE(rows[2].finishedAt.empty());

  HistoryFilter filter;
  filter.receiverId = "R-1";
  EXPECT_EQ(history->list(filter, error).size(), 2u);
  filter.since = "2026-12-02";
  ASSERT_EQ(history->list(filter, error).size(), 1u);
  filter = {};
  filter.port = "tcp:rover:8002";
  ASSERT_EQ(history->list(filter, error).size(), 1u);
  filter = {};
  filter.limit = 2;
  rows = history->list(filter, error);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1].id, "b");
}

// A row whose process is gone is stored as interrupted; one whose process runs, or of another
// station, is left alone; a finished row is never touched.
TEST(LoadHistory, RowsOfGoneProcessesBecomeInterrupted) {
  TempDir dir;
  auto history = openHistoryAt(dir.file("history.sqlite3"));
  ASSERT_TRUE(history);
  std::string error;
  LoadRecord gone = rowOf("gone", "2026-12-09T08:00:00.000Z", "/dev/ttyUSB0", "");
  gone.pid = 100;
  LoadRecord running = rowOf("running", "2026-12-09T08:01:00.000Z", "/dev/ttyUSB1", "");
  running.pid = 200;
  LoadRecord elsewhere = rowOf("elsewhere", "2026-12-09T08:02:00.000Z", "/dev/ttyUSB2", "");
  elsewhere.station = "bench-2";
  elsewhere.pid = 100;
  LoadRecord done = rowOf("done", "2026-12-09T08:03:00.000Z", "/dev/ttyUSB3", "");
  done.pid = 100;
  for (const LoadRecord* row : {&gone, &running, &elsewhere, &done}) ASSERT_TRUE(history->begin(*row, error));
  done.finishedAt = "2026-12-09T08:04:00.000Z";
  done.outcome = "failed";
  ASSERT_TRUE(history->finish(done, error));

  EXPECT_EQ(history->markInterrupted("bench-1", [](int64_t pid) { return pid == 200; }), 1);
  EXPECT_EQ(history->markInterrupted("bench-1", [](int64_t pid) { return pid == 200; }), 0) << "marked once";
  std::map<std::string, std::string> outcomes;
  for (const LoadRecord& row : history->list({}, error)) outcomes[row.id] = row.outcome;
  EXPECT_EQ(outcomes["gone"], "interrupted");
  EXPECT_EQ(outcomes["running"], "");
  EXPECT_EQ(outcomes["elsewhere"], "");
  EXPECT_EQ(outcomes["done"], "failed");
  EXPECT_TRUE(station::processRunning(station::processId()));
}

// A history of a newer schema is refused with the way out; one of this schema opens again.
TEST(LoadHistory, SchemaIsCreatedOnceAndANewerOneRefused) {
  TempDir dir;
  const std::string path = dir.file("history.sqlite3");
  ASSERT_TRUE(openHistoryAt(path));
  ASSERT_TRUE(openHistoryAt(path)) << "a second open migrates nothing";
  {
    SqliteDb db(path);
    ASSERT_TRUE(db.exec("UPDATE schema_version SET version = 99"));
  }
  std::string error;
  EXPECT_FALSE(LoadHistory::open(path, error));
  EXPECT_NE(error.find("newer version"), std::string::npos) << error;
  EXPECT_NE(error.find("--history-db"), std::string::npos) << error;
  std::ofstream(dir.file("not-a-folder")) << "x";
  EXPECT_FALSE(LoadHistory::open(dir.file("not-a-folder/history.sqlite3"), error));
  EXPECT_NE(error.find("not-a-folder"), std::string::npos) << error;
}

// The listing's forms: a table made safe for a terminal, JSON with nested images, CSV a
// spreadsheet opens without running anything a receiver sent.
TEST(HistoryListing, TableJsonAndCsvKeepEveryFieldSafe) {
  LoadRecord row = rowOf("c", "2026-12-09T08:00:00.000Z", "/dev/ttyUSB0", "R-1");
  row.receiverModel = "VR\x1b[31m-100";
  row.reason = "=HYPERLINK(\"http://x\"), then \"quoted\"";
  row.exitStatus = 3;
  row.images = {{"main.ldp", "Main firmware", 10, std::string(64, 'f'), "flashed"}};
  const std::string table = historylisting::asTable({row});
  EXPECT_EQ(table.find('\x1b'), std::string::npos);
  EXPECT_NE(table.find("running"), std::string::npos) << "a row without outcome is a run still going";
  const std::string json = historylisting::asJson({row});
  EXPECT_NE(json.find(R"("exit_status":3,)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("finished_at":null)"), std::string::npos) << json;
  EXPECT_NE(json.find(R"("images":[{"file":"main.ldp","title":"Main firmware","size":10,"sha256":"ffff)"), std::string::npos);
  const std::string csv = historylisting::asCsv({row});
  EXPECT_EQ(csv.rfind("id,started_at,finished_at,station,pid,", 0), 0u);
  EXPECT_NE(csv.find(R"("'=HYPERLINK(""http://x""), then ""quoted""")"), std::string::npos) << csv;
  for (const char* start : {"\tcmd", "\rcmd", "+1", "-1", "@x"}) {
    row.reason = start;
    const std::string cell = historylisting::asCsv({row});
    EXPECT_NE(cell.find(std::string("'") + start), std::string::npos) << "a cell starting with " << start << ": " << cell;
  }
  EXPECT_EQ(historylisting::asTable({}), "No loads are recorded.\n");
}

// A file on a network file system is kept with a rollback journal under an exclusive lock, with a
// warning; on a local disk with the write-ahead log and no word.
TEST(LoadHistory, OnANetworkFileSystemARollbackJournalAndAWarning) {
  TempDir dir;
  EXPECT_EQ(networkfs::kindOf(dir.file("not/yet/there.sqlite3")), "");  // the nearest folder is asked

  std::string error;
  {
    auto local = LoadHistory::open(dir.file("local.sqlite3"), error);
    ASSERT_TRUE(local) << error;
    EXPECT_EQ(local->warning(), "");
    ASSERT_TRUE(local->begin(rowOf("a", "2026-12-01T08:00:00.000Z", "COM5", "R-1"), error)) << error;
    EXPECT_TRUE(std::filesystem::exists(dir.file("local.sqlite3-wal")));
  }
  {
    auto shared = LoadHistory::open(dir.file("shared.sqlite3"), error, nullptr, LoadHistory::Journal::Rollback);
    ASSERT_TRUE(shared) << error;
    EXPECT_NE(shared->warning().find("is on a network file system"), std::string::npos) << shared->warning();
    ASSERT_TRUE(shared->begin(rowOf("a", "2026-12-01T08:00:00.000Z", "COM5", "R-1"), error)) << error;
    EXPECT_FALSE(std::filesystem::exists(dir.file("shared.sqlite3-wal")));
    // The lock is held while this program has the file: another one waits, then gives up.
    std::string other;
    const auto start = std::chrono::steady_clock::now();
    auto second = LoadHistory::open(dir.file("shared.sqlite3"), other, nullptr, LoadHistory::Journal::Rollback);
    const bool wrote = second && second->begin(rowOf("b", "2026-12-01T09:00:00.000Z", "COM6", "R-2"), other);
    EXPECT_FALSE(wrote);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(LoadHistory::kBusyTimeoutMs / 2));
  }
  auto later = LoadHistory::open(dir.file("shared.sqlite3"), error, nullptr, LoadHistory::Journal::Rollback);
  ASSERT_TRUE(later) << error;
  EXPECT_EQ(later->list(HistoryFilter{}, error).size(), 1u);
}
