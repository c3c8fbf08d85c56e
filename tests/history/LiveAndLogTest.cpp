#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "LivePublisher.h"
#include "LiveThrottle.h"
#include "LoadHistory.h"
#include "LogArchive.h"
#include "TempDir.h"

// The log a station stores with its row: masked, packed, a long one cut in its middle with a
// note, and every fault of the stored bytes refused rather than shown as a log.
TEST(LogArchive, MaskedPackedCutAndRefusedWhenDamaged) {
  std::string text = "Connecting to tcp:rx:4001 with password hunter22\r\nLoaded.\r\n";
  StoredLog log = logarchive::pack(text, {"hunter22", ""});
  std::string back, error;
  ASSERT_TRUE(logarchive::unpack(log, back, error)) << error;
  EXPECT_EQ(back.find("hunter22"), std::string::npos);
  EXPECT_NE(back.find("with password ********"), std::string::npos);
  EXPECT_FALSE(log.cut);

  std::string big;
  for (int i = 0; big.size() < 3 * logarchive::kMaxTextBytes; ++i) big += "line " + std::to_string(i) + " of the run\r\n";
  big += "Result: Successfully loaded!\r\n";
  log = logarchive::pack(big, {});
  ASSERT_TRUE(logarchive::unpack(log, back, error)) << error;
  EXPECT_TRUE(log.cut);
  EXPECT_EQ(log.fileBytes, static_cast<int64_t>(big.size()));
  EXPECT_LE(back.size(), logarchive::kMaxTextBytes);
  EXPECT_EQ(back.rfind("line 0 of the run\r\n", 0), 0u);  // the beginning kept, from a line's start
  EXPECT_NE(back.find("bytes in the log on the station"), std::string::npos);
  EXPECT_EQ(back.substr(back.size() - 30), "Result: Successfully loaded!\r\n");  // the end kept
  EXPECT_LT(log.packed.size(), back.size() / 4);

  StoredLog damaged = log;
  damaged.packed[damaged.packed.size() / 2] ^= 0x5A;
  EXPECT_FALSE(logarchive::unpack(damaged, back, error));
  StoredLog boasting = log;
  boasting.textBytes = 1LL << 40;  // never allocated
  EXPECT_FALSE(logarchive::unpack(boasting, back, error));
  EXPECT_NE(error.find("more than a log may"), std::string::npos);
}

// A file is read whole, or only what the cut keeps when it is huge; an absent one gives no log.
TEST(LogArchive, FilesReadAsTheyAre) {
  TempDir dir;
  EXPECT_TRUE(logarchive::packFile(dir.file("absent.log"), {}).packed.empty());
  {
    std::ofstream(dir.file("run.log"), std::ios::binary) << "first\r\nsecret-pw\r\nlast\r\n";
  }
  const StoredLog log = logarchive::packFile(dir.file("run.log"), {"secret-pw"});
  std::string text, error;
  ASSERT_TRUE(logarchive::unpack(log, text, error));
  EXPECT_EQ(text, "first\r\n********\r\nlast\r\n");
}

// When a run's live row is written: at once for what matters, progress at most once a second, a
// heartbeat while nothing changes, a pause after a failed write, nothing after the end.
TEST(LiveThrottle, WritesFollowTheRules) {
  LiveThrottle throttle;
  EXPECT_FALSE(throttle.due());
  throttle.changed(1000, true);  // the start
  EXPECT_EQ(throttle.due(), 1000);
  throttle.taken();
  throttle.written(1010, true);
  EXPECT_EQ(throttle.due(), 1010 + LiveThrottle::kHeartbeatMs);
  throttle.changed(1100, false);  // progress
  EXPECT_EQ(throttle.due(), 2010);
  throttle.changed(1500, true);  // a stage: at once, whatever waited
  EXPECT_EQ(throttle.due(), 1100);
  throttle.taken();
  throttle.changed(1600, false);  // arrives while the write is under way: waits for the next
  throttle.written(1620, false);  // the server is away
  EXPECT_EQ(throttle.due(), 1620 + LiveThrottle::kRetryMs);
  throttle.taken();
  throttle.written(11700, true);
  throttle.ended(11800);
  EXPECT_EQ(throttle.due(), 11800);  // the end goes at once, even within the second
  throttle.taken();
  throttle.changed(11810, false);  // nothing counts after the end was taken
  throttle.written(11820, true);
  EXPECT_TRUE(throttle.endWritten());
  EXPECT_FALSE(throttle.due());
}

// The publisher never holds its caller: a server that takes seconds still lets a hundred
// publications a second through at once, the latest state wins, and the end is written before
// the publisher goes.
TEST(LivePublisher, LatestStateWinsAndTheEndIsWritten) {
  std::mutex mutex;
  std::vector<LiveState> written;
  std::atomic<bool> slow{true};
  {
    LivePublisher publisher([&](const LiveState& state) {
      if (slow.exchange(false)) std::this_thread::sleep_for(std::chrono::milliseconds(300));
      std::lock_guard lock(mutex);
      written.push_back(state);
      return true;
    });
    const auto start = std::chrono::steady_clock::now();
    LiveState state;
    state.id = "run-1";
    publisher.publish(state, true);
    for (int percent = 1; percent <= 100; ++percent) {
      state.percent = percent;
      publisher.publish(state, false);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));  // never held
    state.outcome = "confirmed";
    publisher.end(state);
  }
  ASSERT_FALSE(written.empty());
  EXPECT_LE(written.size(), 5u);  // a start, a couple of progress writes, the end
  EXPECT_EQ(written.back().outcome, "confirmed");
  EXPECT_EQ(written.back().percent, 100);
}

// Progress that goes on is written about once a second, not only at the heartbeat.
TEST(LivePublisher, ProgressIsWrittenEverySecondWhileItChanges) {
  std::atomic<int> writes{0};
  {
    LivePublisher publisher([&](const LiveState&) {
      ++writes;
      return true;
    });
    LiveState state;
    publisher.publish(state, true);
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(3500);
    while (std::chrono::steady_clock::now() < end) {
      ++state.percent;
      publisher.publish(state, false);
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  EXPECT_GE(writes.load(), 3);  // the start and at least two seconds' progress; a heartbeat alone gives one
  EXPECT_LE(writes.load(), 5);
}

// A server that never answers: the publisher gives its end up after its bound.
TEST(LivePublisher, AServerThatNeverAnswersHoldsNobodyPastTheBound) {
  const auto start = std::chrono::steady_clock::now();
  {
    LivePublisher publisher([](const LiveState&) { return false; });
    LiveState state;
    state.id = "run-2";
    publisher.publish(state, true);
    state.outcome = "failed";
    publisher.end(state);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start,
            std::chrono::milliseconds(LivePublisher::kEndFlushMs + 1000));
}

// A row's log goes into the station's file with it, travels with its pending row, and is read back.
TEST(LoadHistory, ALogIsStoredWithItsRow) {
  TempDir dir;
  std::string error;
  auto history = LoadHistory::open(dir.file("history.sqlite3"), error);
  ASSERT_TRUE(history) << error;
  LoadRecord row;
  row.id = "with-log";
  row.startedAt = "2026-12-10T09:00:00.000Z";
  row.outcome = "confirmed";
  row.pending = true;
  row.log = logarchive::pack("Log file started\r\nResult: Successfully loaded!\r\n", {});
  ASSERT_TRUE(history->finish(row, error)) << error;
  const StoredLog stored = history->logOf("with-log", error);
  EXPECT_EQ(stored.packed, row.log.packed);
  EXPECT_EQ(stored.textBytes, row.log.textBytes);
  const std::vector<LoadRecord> pending = history->pendingRows(error);
  ASSERT_EQ(pending.size(), 1u);
  EXPECT_EQ(pending[0].log.packed, row.log.packed);
  EXPECT_TRUE(history->logOf("no-such-row", error).packed.empty());
  LoadRecord back;
  EXPECT_TRUE(history->row("with-log", back, error));
  EXPECT_FALSE(history->row("no-such-row", back, error));
}
