#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "ActivityLog.h"
#include "TempDir.h"

namespace {
std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}
}  // namespace

TEST(ActivityLog, SilentUntilOpened) {
  TempDir dir;
  ActivityLog& log = ActivityLog::Instance();
  log.Close();
  log.Write("nothing\r\n");
  EXPECT_FALSE(log.IsOpen());
}

TEST(ActivityLog, AppendsFramedTextWithoutCarriageReturns) {
  TempDir dir;
  const std::string path = dir.file("activity.log");
  { std::ofstream(path, std::ios::binary) << "earlier run\n"; }
  ActivityLog& log = ActivityLog::Instance();
  log.Open(path);
  log.Write("first line\r\nsecond line\r\n");
  log.Write("caf\xC3\xA9 \x01 odd\r\n");  // a control character is shown, not passed on, and writing goes on
  // What a receiver may send: a window title, a screen clear, a raw C1 introducer.
  log.Write("id \x1b]0;TITLE\x07 \x1b[2J \x9b" "31m end\r\n");
  log.Write("after\r\n");
  log.Close();
  const std::string text = slurp(path);
  EXPECT_EQ(text.rfind("earlier run\nLog file started ", 0), 0u);
  EXPECT_NE(text.find("first line\nsecond line\n"), std::string::npos);
  EXPECT_NE(text.find("caf\xC3\xA9 \xEF\xBF\xBD odd\nid \xEF\xBF\xBD]0;TITLE\xEF\xBF\xBD \xEF\xBF\xBD[2J \xEF\xBF\xBD" "31m end\nafter\n"),
            std::string::npos);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_NE(text.find("\nLog file closed "), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_EQ(text.back(), '\n');
}

TEST(ActivityLog, ASecondOpenClosesTheFirst) {
  TempDir dir;
  ActivityLog& log = ActivityLog::Instance();
  log.Open(dir.file("a.log"));
  log.Open(dir.file("b.log"));
  log.Write("to b\n");
  log.Close();
  const std::string a = slurp(dir.file("a.log"));
  EXPECT_EQ(a.rfind("Log file started ", 0), 0u);
  EXPECT_NE(a.find("\nLog file closed "), std::string::npos);
  EXPECT_EQ(a.find("to b"), std::string::npos);
  EXPECT_NE(slurp(dir.file("b.log")).find("to b"), std::string::npos);
  log.Open(dir.file("no-such-folder/x.log"));  // cannot open: stays silent
  log.Write("lost");
  EXPECT_FALSE(log.IsOpen());
}

TEST(ActivityLog, TimestampHasTheFixedForm) {
  const std::string t = ActivityLog::Timestamp();
  ASSERT_EQ(t.size(), 25u);  // 24 characters and the line feed
  EXPECT_EQ(t.back(), '\n');
  EXPECT_EQ(t[3], ' ');
  EXPECT_EQ(t[13], ':');
}

// With line times, each line begins with its local time and zone, also a line written in pieces;
// the frame lines stay as they are.
TEST(ActivityLog, EachLineMayCarryItsTime) {
  TempDir dir;
  const std::string path = dir.file("timed.log");
  ActivityLog& log = ActivityLog::Instance();
  log.SetLineTimes(true);
  log.Open(path);
  log.Write("first ");
  log.Write("line\r\nsecond\r\n\r\n");
  log.Close();
  log.SetLineTimes(false);
  std::istringstream lines(slurp(path));
  std::vector<std::string> got;
  for (std::string line; std::getline(lines, line);) got.push_back(line);
  ASSERT_EQ(got.size(), 6u);
  EXPECT_EQ(got[0].rfind("Log file started ", 0), 0u);
  for (const std::size_t i : {1u, 2u}) {
    EXPECT_EQ(got[i][0], '[') << got[i];
    EXPECT_EQ(got[i].find("] "), 30u) << got[i];  // [2026-12-10T09:15:02.123+01:00]
  }
  EXPECT_EQ(got[1].substr(32), "first line");
  EXPECT_EQ(got[3], "");  // an empty line stays empty
  EXPECT_EQ(got[5].rfind("Log file closed ", 0), 0u);
}
