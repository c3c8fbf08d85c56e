#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <string>
#include <vector>

#include "EventLoop.h"
#include "HeadlessConsole.h"
#include "JsonConsole.h"
#include "PrintableText.h"
#include "VersionMatch.h"
#include "Version.h"

namespace {

RunOutcome outcomeOf(int exitStatus, const std::string& reason) {
  RunOutcome outcome;
  outcome.exitStatus = exitStatus;
  outcome.reason = reason;
  return outcome;
}

std::chrono::system_clock::time_point fixedTime() {
  return std::chrono::system_clock::time_point(std::chrono::milliseconds(1796702684029LL));  // 2026-12-08T04:04:44.029Z
}

}  // namespace

TEST(HeadlessConsole, EachMessageOnALineOfItsOwnAndADoubledStatusPrintedOnce) {
  std::ostringstream out;
  HeadlessConsole console(out, false);
  console.text(EchoSource::Log, "Opening /dev/ttyUSB0...");
  console.text(EchoSource::Log, "Quering receiver parameters...\r\n");
  console.text(EchoSource::Log, "Trying 115200");
  console.text(EchoSource::Log, ".");  // a step's dots stay on its line
  console.text(EchoSource::Log, "Success!");
  console.text(EchoSource::Status, "The firmware is distributed...");  // another area: a line of its own
  console.endLine();
  console.text(EchoSource::Status, "Loading Main firmware...\r\n");
  console.text(EchoSource::Log, "Loading Main firmware...\r\n");  // shown twice by the wizard, printed once
  console.text(EchoSource::Log, "Loading Main firmware...\r\n");  // the same area again is a new text
  console.text(EchoSource::Log, "\r\nThe process failed.");
  console.text(EchoSource::Status, "Successfully loaded!");
  console.finished(outcomeOf(0, "Successfully loaded!"));
  EXPECT_EQ(out.str(),
            "Opening /dev/ttyUSB0...\nQuering receiver parameters...\nTrying 115200.\nSuccess!\n"
            "The firmware is distributed...\nLoading Main firmware...\nLoading Main firmware...\nThe process failed.\n"
            "Successfully loaded!\n");
}

// Quiet: warnings, errors and the result; verbose: each exchange too; the window's instructions never.
TEST(HeadlessConsole, QuietAndVerboseChooseWhatIsShown) {
  const auto shown = [](ConsoleEcho::Level level) {
    std::ostringstream out;
    HeadlessConsole console(out, false);
    console.setLevel(level);
    console.event(Note{NoteArea::Page, NoteEdit::Replace, Severity::Instruction, "Choose the port."});
    console.event(Note{NoteArea::Log, NoteEdit::Append, Severity::Info, "Loading Main firmware...\r\n"});
    console.event(Note{NoteArea::Log, NoteEdit::Append, Severity::Detail, "> %fld%fld,VR1,/log/firmware\r\n"});
    console.event(Note{NoteArea::Log, NoteEdit::Append, Severity::Error, "Send file error.\r\n"});
    console.event(Note{NoteArea::Warning, NoteEdit::Append, Severity::Warning, "Turn your receiver on."});
    RunOutcome outcome = outcomeOf(1, "Send file error.");
    outcome.images = {{"main.ldp", "Main firmware", 1, "", ImageResult::Failed, "", ""}};
    console.event(RunEnded{outcome});
    return out.str();
  };
  EXPECT_EQ(shown(ConsoleEcho::Level::Quiet),
            "Send file error.\nWarning: Turn your receiver on.\nSend file error. (0 of 1 flashed)\n");
  EXPECT_EQ(shown(ConsoleEcho::Level::Normal),
            "Loading Main firmware...\nSend file error.\nWarning: Turn your receiver on.\n");
  EXPECT_EQ(shown(ConsoleEcho::Level::Verbose), "Loading Main firmware...\n> %fld%fld,VR1,/log/firmware\n"
                                                "Send file error.\nWarning: Turn your receiver on.\n");
}

TEST(HeadlessConsole, WarningsAndProgressOnATerminal) {
  std::ostringstream out;
  HeadlessConsole console(out, true);
  console.text(EchoSource::Log, "Loading");
  TransferProgress p;
  p.percent = 5;
  console.progress(p);
  console.warning("Turn your receiver on.\r\n");
  console.finished(outcomeOf(1, ""));
  EXPECT_EQ(out.str(), "Loading\n\r[  5%]\x1b[K\nWarning: Turn your receiver on.\n");
}

// The line is the whole load's: its image among the others, its bytes, one rate unit, the time left.
TEST(HeadlessConsole, TheProgressLineIsTheWholeLoads) {
  TransferProgress p;
  p.percent = 45;
  p.imageIndex = 2;
  p.imageCount = 4;
  p.runBytes = 120 * 1024;
  p.runTotal = 256 * 1024;
  p.bytesPerSecond = 11.25 * 1024;
  p.secondsLeft = 200;
  EXPECT_EQ(HeadlessConsole::progressLine(p), "[ 45%] image 2 of 4, 120.0 KiB of 256.0 KiB, 11.2 KiB/s, about 3 min left");
  p.percent = 100;  // done: no time left to tell
  EXPECT_EQ(HeadlessConsole::progressLine(p), "[100%] image 2 of 4, 120.0 KiB of 256.0 KiB, 11.2 KiB/s");
}

// A receiver's answer may carry escape sequences: none reaches a terminal, readable text stays.
TEST(PrintableText, ReplacesControlCharactersAndWhatIsNotUtf8) {
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(printable("ok\tyes\nnext \xC3\xA9"), "ok\tyes\nnext \xC3\xA9");
  EXPECT_EQ(printable("\x1b[31mred"), r + "[31mred");
  EXPECT_EQ(printable("\x1b]52;c;aGk=\x07"), r + "]52;c;aGk=" + r);  // a clipboard write
  EXPECT_EQ(printable("\xC2\x9B" "2J \x9B \x7F"), r + "2J " + r + " " + r);  // C1 as UTF-8, a lone C1 byte, DEL
  EXPECT_EQ(printable(std::string("a\0b\r", 4)), "a" + r + "b" + r);
  std::ostringstream out;
  HeadlessConsole shown(out, false);
  shown.text(EchoSource::Log, "The last reply is: \x1b[2J\r\n");
  EXPECT_EQ(out.str(), "The last reply is: " + r + "[2J\n");
}

TEST(JsonConsole, OneObjectALineWithTimeAndEvent) {
  std::ostringstream out;
  JsonConsole console(out, fixedTime);
  console.started({"tcp:rover:8002", "fldp", "/fw/main.ldp"});
  console.stage(LoadStage::Loading, "Main firmware");
  console.text(EchoSource::Status, "Loading Main firmware...\r\n");
  console.text(EchoSource::Log, "The last answer was: '%put%'");
  TransferProgress p;
  p.percent = 25;
  p.imagePercent = 25;
  p.image = "Main firmware";
  p.imageIndex = 1;
  p.imageCount = 1;
  p.bytes = p.runBytes = 2048;
  p.total = p.runTotal = 8192;
  console.progress(p);
  console.progress(p);  // the load did not move: no event
  console.warning("Turn your receiver on.");
  ReceiverFacts facts{"VR-100", "", "", "4.2 Dec,01,2026", ""};
  console.receiver(facts);
  console.receiver(facts);  // nothing new: no event
  facts.id = "VR100-0001234";
  console.receiver(facts);
  RunOutcome outcome = outcomeOf(3, "Main firmware: 4.2 Dec,01,2026 -> not confirmed");
  outcome.firmware = {true, "4.2 Dec,01,2026", "", ""};
  outcome.kind = OutcomeKind::Unconfirmed;
  outcome.stage = LoadStage::Confirming;
  outcome.port = "tcp:rover:8002";
  outcome.receiver = facts;
  const std::string digest(64, 'a');
  outcome.images = {{"main.ldp", "Main firmware", 262144, digest, ImageResult::Flashed, "", ""}};
  outcome.sourceSha256 = std::string(64, 'b');
  outcome.failure = FailureKind::Unconfirmed;
  outcome.remedy = "Ask again.";
  outcome.historyId = "0f8e2c1a-5b6d-4e7f-8a9b-0c1d2e3f4a5b";
  console.finished(outcome);
  std::istringstream lines(out.str());
  std::string line;
  std::vector<std::string> got;
  while (std::getline(lines, line)) got.push_back(line);
  ASSERT_EQ(got.size(), 9u);
  const std::string head = R"({"time":"2026-12-08T04:04:44.029Z","event":)";
  EXPECT_EQ(got[0], head + R"("start","schema":3,"version":")" + VESTREL_VERSION +
                        R"(","port":"tcp:rover:8002","method":"fldp","source":"/fw/main.ldp"})");
  EXPECT_EQ(got[1], head + R"("stage","stage":"loading","image":"Main firmware"})");
  EXPECT_EQ(got[2], head + R"("status","text":"Loading Main firmware...\n"})");
  EXPECT_EQ(got[3], head + R"("log","text":"The last answer was: '%put%'"})");
  EXPECT_EQ(got[4], head + R"("progress","percent":25,"image":"Main firmware","image_index":1,"image_count":1,)"
                           R"("image_percent":25,"bytes":2048,"total":8192,"run_bytes":2048,"run_total":8192,"rate":0.0,)"
                           R"("eta_s":null})");
  EXPECT_EQ(got[5], head + R"("warning","text":"Turn your receiver on."})");
  EXPECT_EQ(got[6], head + R"("receiver","identity":null,"model":"VR-100","hardware":null,"firmware_before":"4.2 Dec,01,2026"})");
  EXPECT_EQ(got[7], head + R"("receiver","identity":"VR100-0001234","model":"VR-100","hardware":null,)"
                           R"("firmware_before":"4.2 Dec,01,2026"})");
  // An unconfirmed load is no success.
  EXPECT_EQ(got[8], head + R"("result","success":false,"exit_status":3,)"
                           R"("reason":"Main firmware: 4.2 Dec,01,2026 -> not confirmed",)"
                           R"("firmware":{"before":"4.2 Dec,01,2026","after":null,"confirmed":false},)"
                           R"("outcome":"unconfirmed","stage":"confirming","port":"tcp:rover:8002",)"
                           R"("receiver":{"id":"VR100-0001234","model":"VR-100","hardware":null,)"
                           R"("firmware_before":"4.2 Dec,01,2026","firmware_after":null},)"
                           R"("images":[{"file":"main.ldp","title":"Main firmware","size":262144,"sha256":")" + digest +
                           R"(","result":"flashed","words":null}],"failure":{"kind":"unconfirmed","remedy":"Ask again."},)"
                           R"("source_sha256":")" + std::string(64, 'b') +
                           R"(","history_id":"0f8e2c1a-5b6d-4e7f-8a9b-0c1d2e3f4a5b"})");
}

TEST(JsonConsole, AFailedRunHasNoFirmware) {
  std::ostringstream out;
  JsonConsole console(out, fixedTime);
  RunOutcome outcome = outcomeOf(130, "Interrupted: nothing was written to the receiver.");
  outcome.kind = OutcomeKind::Aborted;
  outcome.failure = FailureKind::StoppedBySignal;
  outcome.remedy = "Nothing was written to the receiver: load again when ready.";
  outcome.port = "/dev/ttyUSB0";
  console.finished(outcome);
  EXPECT_EQ(out.str(), R"({"time":"2026-12-08T04:04:44.029Z","event":"result","success":false,"exit_status":130,)"
                       R"("reason":"Interrupted: nothing was written to the receiver.","firmware":null,)"
                       R"("outcome":"aborted","stage":null,"port":"/dev/ttyUSB0","receiver":{"id":null,"model":null,)"
                       R"("hardware":null,"firmware_before":null,"firmware_after":null},"images":[],)"
                       R"("failure":{"kind":"stopped_by_signal",)"
                       R"("remedy":"Nothing was written to the receiver: load again when ready."},)"
                       R"("source_sha256":null,"history_id":null})"
                       "\n");
}

TEST(FirmwareChange, SaysPlainlyWhatIsNotKnown) {
  EXPECT_EQ((FirmwareChange{true, "4.2 Dec,01,2026", "4.3 Dec,08,2026", ""}.line()),
            "Main firmware: 4.2 Dec,01,2026 -> 4.3 Dec,08,2026");
  EXPECT_EQ((FirmwareChange{true, "", "", ""}.line()),
            "Main firmware: unknown (not asked before the load) -> not confirmed: the receiver did not answer when "
            "asked after the load");
}

// An expected version names the whole version field: not a longer number, not a pre-release.
TEST(VersionMatch, TheWholeFieldIsCompared) {
  EXPECT_TRUE(versionMatches("4.3 Dec,08,2026", "4.3"));
  EXPECT_TRUE(versionMatches("4.3", "4.3"));
  EXPECT_TRUE(versionMatches("4.3 Dec,08,2026", "4.3 Dec,08,2026"));
  EXPECT_FALSE(versionMatches("4.31 Jan,01,2027", "4.3"));
  EXPECT_FALSE(versionMatches("4.3-rc1", "4.3"));
  EXPECT_FALSE(versionMatches("4.2 Dec,01,2026", "4.3"));
  EXPECT_FALSE(versionMatches("", "4.3"));
  EXPECT_FALSE(versionMatches("4.3", ""));
}

// A timer's work runs once its time has come, behind what was posted before it; a timer still
// waiting when the loop quits is dropped.
TEST(EventLoop, TimersRunInTurnAndDieWithTheLoop) {
  EventLoop loop;
  std::vector<std::string> done;
  loop.postAfter(std::chrono::milliseconds(50), [&] { done.push_back("timer"); });
  loop.postAfter(std::chrono::hours(1), [&] { done.push_back("never"); });
  loop.post([&] { done.push_back("posted"); });
  loop.postAfter(std::chrono::milliseconds(100), [&] { loop.quit(); });
  const auto start = std::chrono::steady_clock::now();
  loop.run();
  EXPECT_EQ(done, (std::vector<std::string>{"posted", "timer"}));
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
}
