#include <gtest/gtest.h>
#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>

#include "LoadHistory.h"
#include "TempDir.h"

// Eight processes write one history at once, each its rows begun and completed: none is lost.
TEST(LoadHistory, EightProcessesWritingAtOnceLoseNothing) {
  TempDir dir;
  const std::string path = dir.file("history.sqlite3");
  constexpr int kProcesses = 8, kRowsEach = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::string error;
      auto history = LoadHistory::open(path, error);  // every one may create the schema
      bool ok = history != nullptr;
      for (int r = 0; ok && r < kRowsEach; ++r) {
        LoadRecord row;
        row.id = std::to_string(p) + "-" + std::to_string(r);
        row.startedAt = "2026-12-09T08:00:00.000Z";
        row.station = "bench";
        row.pid = getpid();
        ok = history->begin(row, error);
        row.outcome = "confirmed";
        row.finishedAt = "2026-12-09T08:01:00.000Z";
        row.images = {{"main.ldp", "Main firmware", 1, std::string(64, 'a'), "flashed"}};
        ok = ok && history->finish(row, error);
      }
      if (!ok) fprintf(stderr, "child %d: %s\n", p, error.c_str());
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (const pid_t child : children) {
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  std::string error;
  auto history = LoadHistory::open(path, error);
  ASSERT_TRUE(history) << error;
  const auto rows = history->list({}, error);
  EXPECT_EQ(rows.size(), static_cast<std::size_t>(kProcesses * kRowsEach));
  for (const LoadRecord& row : rows) {
    EXPECT_EQ(row.outcome, "confirmed") << row.id;
    EXPECT_EQ(row.images.size(), 1u) << row.id;
  }
}
