#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>

#include "Accounts.h"
#include "Html.h"
#include "LineFigures.h"
#include "LineQuery.h"
#include "LoadTable.h"
#include "Sessions.h"
#include "SignInThrottle.h"
#include "StationTokens.h"
#include "TempDir.h"
#include "ViewerClock.h"

namespace {

using namespace std::chrono;

system_clock::time_point at(const std::string& iso) {
  // "2026-12-10T23:30:00Z"
  std::tm tm{};
  strptime(iso.c_str(), "%Y-%m-%dT%H:%M:%SZ", &tm);
  return system_clock::from_time_t(timegm(&tm));
}

LoadRecord load(const std::string& started, const std::string& station, const std::string& receiver,
                const std::string& outcome, const std::string& kind = "") {
  LoadRecord row;
  row.startedAt = started;
  row.station = station;
  row.receiverId = receiver;
  row.outcome = outcome;
  row.failureKind = kind;
  return row;
}

}  // namespace

// The viewer's day and times at their offset, across midnight and the date line.
TEST(ViewerClock, DaysAndTimesAtTheViewersOffset) {
  EXPECT_EQ(viewerclock::today(at("2026-12-10T23:30:00Z"), 60), "2026-12-11");
  EXPECT_EQ(viewerclock::today(at("2026-12-10T02:00:00Z"), -300), "2026-12-09");
  EXPECT_EQ(viewerclock::dayStart("2026-12-11", 60), "2026-12-10T23:00:00.000Z");
  EXPECT_EQ(viewerclock::dayAfter("2026-12-31", -330), "2027-01-01T05:30:00.000Z");
  EXPECT_EQ(viewerclock::shown("2026-12-10T23:30:02.123Z", 840), "2026-12-11 13:30:02");
  EXPECT_EQ(viewerclock::hourOf("2026-12-10T23:30:02.123Z", 60), 0);
  EXPECT_EQ(viewerclock::offsetText(-330), "-05:30");
  EXPECT_EQ(viewerclock::offsetFrom("-330"), -330);
  for (const char* bad : {"", "abc", "900", "-841", "60x", "99999999"}) EXPECT_EQ(viewerclock::offsetFrom(bad), 0) << bad;
  for (const char* bad : {"2026-02-30", "2026-13-01", "1969-12-31", "2026-1-01", "2026-12-10x"})
    EXPECT_FALSE(viewerclock::isDate(bad)) << bad;
  EXPECT_EQ(viewerclock::shown("not a time", 60), "not a time");
  // Past the system clock's nanoseconds (2262), up to the year 9999 (found by the fuzzer).
  EXPECT_EQ(viewerclock::dayStart("2420-01-04", 60), "2420-01-03T23:00:00.000Z");
  EXPECT_EQ(viewerclock::dayAfter("9999-12-31", 0), "10000-01-01T00:00:00.000Z");
  EXPECT_EQ(viewerclock::shown("9999-12-31T23:30:00.000Z", 60), "10000-01-01 00:30:00");
}

// A page's query: today by default, one date makes a day, values checked, the filter's period.
TEST(LineQuery, PeriodsFiltersAndRefusals) {
  const auto now = at("2026-12-10T12:00:00Z");
  LineQuery query;
  std::string error;
  ASSERT_TRUE(LineQuery::read({}, now, 60, query, error));
  EXPECT_EQ(query.from, "2026-12-10");
  EXPECT_EQ(query.to, "2026-12-10");
  HistoryFilter filter = query.filter(60);
  EXPECT_EQ(filter.since, "2026-12-09T23:00:00.000Z");
  EXPECT_EQ(filter.until, "2026-12-10T23:00:00.000Z");

  ASSERT_TRUE(LineQuery::read({{"from", "2026-12-01"}, {"station", "st 1"}, {"receiver", "<b>"}}, now, 0, query, error));
  EXPECT_EQ(query.to, "2026-12-10");  // from a day in the past up to today
  EXPECT_EQ(query.filter(0).receiverId, "<b>");
  EXPECT_EQ(query.urlQuery(), "from=2026-12-01&to=2026-12-10&station=st%201&receiver=%3Cb%3E");

  const std::multimap<std::string, std::string> refused[] = {
      {{"from", "2026-12-32"}},
      {{"from", "2026-12-10"}, {"to", "2026-12-01"}},
      {{"outcome", "exploded"}},
      {{"station", std::string(200, 'x')}},
      {{"receiver", "a\nb"}}};
  for (const auto& params : refused) {
    error.clear();
    EXPECT_FALSE(LineQuery::read(params, now, 0, query, error));
    EXPECT_FALSE(error.empty());
  }
}

// The figures of a period: per station and hour, the first pass of each receiver, failures by kind.
TEST(LineFigures, YieldCountsEachReceiversFirstLoad) {
  const std::vector<LoadRecord> rows = {
      load("2026-12-10T09:40:00.000Z", "st-1", "A", "confirmed"),           // A again, after a failure
      load("2026-12-10T09:10:00.000Z", "st-1", "A", "failed", "link_lost"),  // A's first
      load("2026-12-10T10:05:00.000Z", "st-2", "B", "confirmed"),
      load("2026-12-10T10:20:00.000Z", "st-2", "C", "unconfirmed", "unconfirmed"),
      load("2026-12-10T10:30:00.000Z", "st-2", "", "refused", "wrong_receiver"),
  };
  const LineFigures figures = LineFigures::of(rows, 60);
  EXPECT_EQ(figures.loads, 5);
  EXPECT_EQ(figures.perStation.at("st-1"), 2);
  EXPECT_EQ(figures.perStation.at("st-2"), 3);
  EXPECT_EQ(figures.perHour[10], 2);  // 09:xx UTC at +01:00
  EXPECT_EQ(figures.perHour[11], 3);
  EXPECT_EQ(figures.receivers, 3);
  EXPECT_EQ(figures.firstPassed, 1);
  EXPECT_EQ(figures.yieldText(), "33.3 %");
  EXPECT_EQ(figures.failuresByKind.at("link_lost"), 1);
  EXPECT_EQ(figures.failuresByKind.at("wrong_receiver"), 1);
  EXPECT_EQ(LineFigures::of({}, 0).yieldText(), "-");
}

// What a page shows and what its CSV holds are the same cells; both safe for their readers.
TEST(LoadTable, CsvHoldsThePagesCellsSafely) {
  LoadRecord row = load("2026-12-10T09:10:00.000Z", "st-1", "=HYPERLINK(\"x\")", "failed", "link_lost");
  row.firmwareBefore = "4.2 Dec,01,2026";
  const std::vector<std::string> cells = loadtable::cells(row, 0);
  EXPECT_EQ(cells[0], "2026-12-10 09:10:00");
  EXPECT_EQ(cells[7], "failed (link_lost)");
  const std::string csv = loadtable::csv({row}, 0);
  EXPECT_NE(csv.find("\"'=HYPERLINK(\"\"x\"\")\""), std::string::npos);  // no formula for a spreadsheet
  EXPECT_NE(csv.find("\"4.2 Dec,01,2026\""), std::string::npos);
  EXPECT_EQ(html::escape("<script>\"'&\x1b[31m"), "&lt;script&gt;&quot;&#39;&amp;\xEF\xBF\xBD[31m");
  EXPECT_EQ(html::queryValue("a b/<é>"), "a%20b%2F%3C%C3%A9%3E");
}

// Accounts: kept in a file, a right password alone signs in, bad names and files refused.
TEST(Accounts, KeptHashedAndChecked) {
  TempDir dir;
  const std::string path = dir.file("accounts");
  Accounts accounts;
  std::string error;
  ASSERT_TRUE(accounts.load(path, error)) << error;  // no file: no account yet
  ASSERT_TRUE(accounts.put("ann", Accounts::Role::Admin, "ann-password-1", error)) << error;
  EXPECT_FALSE(accounts.put("bad name", Accounts::Role::Viewer, "long-enough", error));
  EXPECT_FALSE(accounts.put("bob", Accounts::Role::Viewer, "short", error));

  Accounts reread;
  ASSERT_TRUE(reread.load(path, error)) << error;
  Accounts::Account account;
  EXPECT_TRUE(reread.verify("ann", "ann-password-1", account));
  EXPECT_EQ(account.role, Accounts::Role::Admin);
  EXPECT_FALSE(reread.verify("ann", "ann-password-2", account));
  EXPECT_FALSE(reread.verify("nobody", "ann-password-1", account));
  std::ifstream file(path);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(text.find("ann-password-1"), std::string::npos);
  EXPECT_NE(text.find("$argon2id$"), std::string::npos);

  EXPECT_TRUE(reread.remove("ann", error));
  EXPECT_FALSE(reread.remove("ann", error));
  EXPECT_FALSE(reread.verify("ann", "ann-password-1", account));

  std::ofstream(dir.file("broken")) << "ann\tsuperuser\t$argon2id$...\n";
  EXPECT_FALSE(reread.load(dir.file("broken"), error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}

// Sessions: a token names one, idle ones end, an account's all end with it; tokens compared whole.
TEST(Sessions, OpenedFoundAndEnded) {
  Sessions sessions;
  const auto start = Sessions::Clock::time_point{} + hours(1000);
  const std::string ann = sessions.open({"ann", Accounts::Role::Admin, ""}, start);
  const std::string vic = sessions.open({"vic", Accounts::Role::Viewer, ""}, start);
  ASSERT_EQ(ann.size(), 64u);
  EXPECT_NE(ann, vic);
  const auto found = sessions.find(ann, start + hours(7));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->account, "ann");
  EXPECT_EQ(found->formToken.size(), 64u);
  EXPECT_TRUE(sessions.find(ann, start + hours(14)));  // seen at 7 h: not idle yet
  EXPECT_FALSE(sessions.find(vic, start + hours(9)));  // idle past the limit
  EXPECT_FALSE(sessions.find("", start));
  sessions.closeAccount("ann");
  EXPECT_FALSE(sessions.find(ann, start + hours(14)));
  EXPECT_TRUE(Sessions::sameToken(ann, ann));
  EXPECT_FALSE(Sessions::sameToken(ann, vic));
  EXPECT_FALSE(Sessions::sameToken("", ""));
  EXPECT_FALSE(Sessions::sameToken(ann, ann.substr(1)));
}

// Wrong passwords from one address: the sixth try within five minutes waits; another address and
// a right password are not held; the count lapses.
TEST(SignInThrottle, ManyWrongPasswordsFromOneAddressWait) {
  SignInThrottle throttle;
  const auto start = SignInThrottle::Clock::time_point{} + hours(10);
  for (int i = 0; i < SignInThrottle::kAllowedFailures; ++i) {
    EXPECT_EQ(throttle.waitFor("10.0.0.5", start + seconds(i)).count(), 0) << i;
    throttle.failed("10.0.0.5", start + seconds(i));
  }
  EXPECT_EQ(throttle.waitFor("10.0.0.5", start + seconds(10)).count(), 294);
  EXPECT_EQ(throttle.waitFor("10.0.0.6", start + seconds(10)).count(), 0);
  EXPECT_EQ(throttle.waitFor("10.0.0.5", start + seconds(4) + minutes(5)).count(), 0);  // lapsed
  throttle.failed("10.0.0.7", start);
  throttle.succeeded("10.0.0.7");
  for (int i = 0; i < SignInThrottle::kAllowedFailures; ++i) throttle.failed("10.0.0.7", start + minutes(6) + seconds(i));
  EXPECT_GT(throttle.waitFor("10.0.0.7", start + minutes(6) + seconds(10)).count(), 0);
}

// A station's token names it until it is revoked or another is issued to it; the file holds only
// hashes; a change by another process (vestrel-line --issue-token) is read at the next request.
TEST(StationTokens, IssueRevokeAndReadAgain) {
  TempDir dir;
  const std::string path = dir.file("station-tokens");
  StationTokens tokens;
  std::string error;
  ASSERT_TRUE(tokens.load(path, error)) << error;
  const std::string first = tokens.issue("ST-1", "ann", error);
  ASSERT_FALSE(first.empty()) << error;
  EXPECT_EQ(tokens.stationOf(first), "ST-1");
  EXPECT_FALSE(tokens.stationOf(first + "x"));
  EXPECT_FALSE(tokens.stationOf(""));
  std::ifstream file(path);
  const std::string text((std::istreambuf_iterator<char>(file)), {});
  EXPECT_EQ(text.find(first.substr(5)), std::string::npos) << "the token itself is not kept";

  const std::string second = tokens.issue("st-1", "ann", error);  // the same host, another case
  EXPECT_FALSE(tokens.stationOf(first)) << "a new token stops the one before";
  EXPECT_EQ(tokens.stationOf(second), "st-1");
  EXPECT_TRUE(StationTokens::sameStation("ST-1", "st-1"));
  EXPECT_FALSE(StationTokens::sameStation("st-1", "st-12"));

  StationTokens other;  // another process on the same file
  ASSERT_TRUE(other.load(path, error));
  const std::string third = other.issue("st-2", "vestrel-line --issue-token", error);
  EXPECT_EQ(tokens.stationOf(third), "st-2") << "the service reads the file again once it changed";
  ASSERT_TRUE(other.revoke("st-1", error)) << error;
  EXPECT_FALSE(tokens.stationOf(second)) << "a revocation holds at once";
  EXPECT_FALSE(other.revoke("st-1", error));
  EXPECT_NE(error.find("No token"), std::string::npos);
  EXPECT_EQ(tokens.list().size(), 1u);

  for (const char* bad : {"", "st 1", "st/1", "st\t1"}) {
    EXPECT_TRUE(tokens.issue(bad, "ann", error).empty()) << bad;
    EXPECT_NE(error.find("host name"), std::string::npos);
  }
  std::ofstream(path) << "st-3\tnot-a-hash\tt\tby\n";
  StationTokens broken;
  EXPECT_FALSE(broken.load(path, error));
  EXPECT_NE(error.find("line 1"), std::string::npos);
}
