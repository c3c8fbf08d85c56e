#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "FleetDisplay.h"
#include "FleetInventory.h"
#include "FleetOptions.h"
#include "JsonEvents.h"
#include "PortDiscovery.h"
#include "PortNames.h"
#include "ReceiverList.h"
#include "ReceiverState.h"
#include "TempDir.h"

namespace {

std::string parse(std::vector<std::string> args, FleetOptions& o) { return parseFleetOptions(args, o); }

ChildExit exited(int code) { return {code, 0, ""}; }

ReceiverState fed(const std::vector<std::string>& lines) {
  ReceiverState r("/dev/ttyUSB0", "logs/dev_ttyUSB0.log");
  r.started(ReceiverState::Clock::now());
  for (const std::string& line : lines) r.applyLine(line);
  return r;
}

const char kSuccess[] =
    R"({"event":"result","success":true,"exit_status":0,"reason":"Successfully loaded!","firmware":{"before":"4.2","after":"4.3","confirmed":true},)"
    R"("outcome":"confirmed","stage":"done","port":"/dev/ttyUSB0","receiver":{"id":"VR1","model":"VR-100","hardware":null,)"
    R"("firmware_before":"4.2","firmware_after":"4.3"},"images":[]})";

// A result of the outcome, stage and port given, with a reason.
std::string resultLine(const std::string& outcome, const std::string& stage, const std::string& port,
                       const std::string& reason, int status) {
  return R"({"event":"result","success":false,"exit_status":)" + std::to_string(status) + R"(,"reason":")" + reason +
         R"(","firmware":null,"outcome":")" + outcome + R"(","stage":)" + (stage.empty() ? "null" : "\"" + stage + "\"") +
         R"(,"port":")" + port + R"(","receiver":{},"images":[]})";
}

}  // namespace

TEST(FleetOptions, TakesPortsAndPassesTheRestOn) {
  FleetOptions o;
  ASSERT_EQ(parse({"--port", "/dev/ttyUSB0", "--port", "tcp:127.0.0.1:8000:pw", "--jobs", "2", "--json", "--", "/source",
                   "fw.zip", "/capture", "Power"},
                  o),
            "");
  EXPECT_EQ(o.ports.size(), 2u);
  EXPECT_EQ(o.jobs, 2);
  EXPECT_EQ(o.vestrelArgs, (std::vector<std::string>{"/source", "fw.zip", "/capture", "Power"}));
  EXPECT_TRUE(o.powerOnCapture());
  EXPECT_EQ(o.logDir, "vestrel-logs");
}

TEST(FleetOptions, RefusesWhatTheFleetGivesAndBadUsage) {
  for (const char* given : {"/port", "--log", "/RUN", "-exit", "--json"}) {
    FleetOptions o;
    EXPECT_NE(parse({"--port", "a", "--", given, "x"}, o).find("the fleet's to give"), std::string::npos) << given;
  }
  const std::vector<std::vector<std::string>> bad = {
      {"--port", "a"},                                  // no "--"
      {"--", "/source", "x"},                           // no port
      {"--all", "--port", "a", "--"},                   // both
      {"--port", "a", "--match", "x", "--"},            // --match without --all
      {"--all", "--match", "(", "--"},                  // not a regular expression
      {"--port", "a", "--jobs", "0", "--"},
      {"--port", "a", "--jobs", "many", "--"},
      {"--port"},
      {"--frobnicate", "--"},
  };
  for (const auto& args : bad) {
    FleetOptions o;
    EXPECT_NE(parse(args, o), "") << args.front();
  }
  // An option without its value would take the fleet's own next option for it.
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--port", "a", "--", "/source", "fw.zip", "/speed"}, {"--port", "a", "--", "/speed", "/capture", "soft"}}) {
    FleetOptions o;
    EXPECT_NE(parse(args, o).find("needs a value"), std::string::npos) << args.back();
  }
  // A TCP/IP port in capitals is still one: its password never reaches a log file's name.
  FleetOptions upper;
  ASSERT_EQ(parse({"--port", "TCP:10.0.0.7:8000:secret", "--", "/source", "x"}, upper), "");
  EXPECT_EQ(upper.ports.front().rfind("tcp:", 0), 0u);
  EXPECT_EQ(portnames::logFileNames(upper.ports).front().find("secret"), std::string::npos);
  EXPECT_EQ(portnames::shownName(upper.ports.front()), "tcp:10.0.0.7:8000");
  EXPECT_EQ(upper.passwords.at("tcp:10.0.0.7:8000"), "secret");  // for the child's environment alone
  EXPECT_TRUE(upper.passwordInArguments);
  EXPECT_EQ(portnames::childEnvironment(upper.passwords, upper.ports.front()),
            std::vector<std::string>{"VESTREL_TCP_PASSWORD=secret"});
  FleetOptions malformed;
  EXPECT_NE(parse({"--port", "tcp:[::1:4001", "--", "/source", "x"}, malformed).find("expected tcp:HOST:PORT"),
            std::string::npos);
  FleetOptions paths;
  EXPECT_EQ(parse({"--port", "a", "--allow-unconfirmed", "--", "/source", "/home/op/fw.zip"}, paths), "");
  EXPECT_TRUE(paths.allowUnconfirmed);
  FleetOptions help;
  EXPECT_EQ(parse({"--help"}, help), "");
  EXPECT_TRUE(help.help);
}

TEST(FleetOptions, OnePortNamedTwiceIsRefusedInAnyOfItsForms) {
  using portnames::checkDistinct;
  EXPECT_EQ(checkDistinct({"/dev/ttyUSB0", "/dev/ttyUSB1", "tcp:127.0.0.1:1:x", "tcp:127.0.0.1:2:x", "usb:1-2", "usb:1-3"}), "");
  EXPECT_NE(checkDistinct({"/dev/ttyUSB0", "/dev/ttyUSB0"}), "");
  EXPECT_NE(checkDistinct({"ttyUSB0", "/dev/ttyUSB0"}), "");
  EXPECT_NE(checkDistinct({"COM1", "/dev/ttyS0"}), "");
  EXPECT_NE(checkDistinct({"usb:1-2", "USB:1-2"}), "");
  EXPECT_NE(checkDistinct({"bt:(00:11:22:33:44:55)", "bt:00:11:22:33:44:55"}), "");
  const std::string twice = checkDistinct({"TCP:127.0.0.1:8000:one", "tcp:127.0.0.1:8000:two"});
  EXPECT_EQ(twice, "The port tcp:127.0.0.1:8000 is named twice.");
  // A host by its addresses: a name and its address are one receiver; IPv6 in brackets.
  EXPECT_EQ(checkDistinct({"tcp:localhost:4001", "tcp:127.0.0.1:4001"}),
            "The ports tcp:localhost:4001 and tcp:127.0.0.1:4001 are the same receiver.");
  EXPECT_NE(checkDistinct({"tcp:[::1]:4001", "tcp:[0:0::1]:4001"}), "");
  const std::string unknown = checkDistinct({"tcp:no-such-host.invalid:4001:pw"});
  EXPECT_EQ(unknown.rfind("The port tcp:no-such-host.invalid:4001 cannot be used: Cannot find the host", 0), 0u) << unknown;
  // A link to a device, or another node of it, is the device.
  TempDir dir;
  const std::string link = dir.path() + "/by-id-receiver";
  ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
  EXPECT_NE(checkDistinct({link, "/dev/null"}), "");
  EXPECT_TRUE(portnames::samePort(link, "/dev/null"));
  EXPECT_FALSE(portnames::samePort("tcp:localhost:4001", "tcp:127.0.0.1:4001"));  // a result is never looked up
}

TEST(FleetLogNames, SafeDistinctAndWithoutPasswords) {
  const std::vector<std::string> names =
      portnames::logFileNames({"/dev/ttyUSB0", "tcp:10.0.0.7:8000:secret", "usb:1-2.3", "/dev/tty/USB0", "../..", ""});
  EXPECT_EQ(names[0], "dev_ttyUSB0.log");
  EXPECT_EQ(names[1], "tcp_10.0.0.7_8000.log");
  EXPECT_EQ(names[2], "usb_1-2.3.log");
  EXPECT_EQ(names[3], "dev_tty_USB0.log");
  EXPECT_EQ(names[4], "port.log");  // never a way out of the log folder
  EXPECT_EQ(names[5], "port-2.log");
  const std::vector<std::string> same = portnames::logFileNames({"/dev/tty:1", "/dev/tty_1"});
  EXPECT_NE(same[0], same[1]);
  // Windows would open the serial port itself for "COM5.log", and the console for "con.log".
  const std::vector<std::string> devices = portnames::logFileNames({"COM5", "com12", "CON", "LPT1"});
  EXPECT_EQ(devices, (std::vector<std::string>{"COM5-port.log", "COM12.log", "CON-port.log", "LPT1-port.log"}));
}

TEST(FleetReceiverState, FollowsTheStagesOfALoad) {
  ReceiverState r = fed({R"({"event":"start","schema":2,"version":"1","port":"/dev/ttyUSB0","method":"soft","source":"x"})",
                         R"({"event":"stage","stage":"connecting","image":null})"});
  EXPECT_EQ(r.stageText(), "testing");
  r.applyLine(R"({"event":"receiver","identity":null,"model":"VR-100","hardware":null,"firmware_before":"4.2 Dec,01,2026"})");
  EXPECT_TRUE(r.applyLine(R"({"event":"stage","stage":"capturing","image":"Main firmware"})"));
  EXPECT_EQ(r.model(), "VR-100");
  EXPECT_EQ(r.firmwareBefore(), "4.2 Dec,01,2026");
  EXPECT_EQ(r.stageText(), "capturing");
  EXPECT_TRUE(r.applyLine(R"({"event":"stage","stage":"loading","image":"Main firmware"})"));
  EXPECT_EQ(r.stageText(), "loading Main firmware");
  EXPECT_FALSE(r.applyLine(R"({"event":"progress","percent":45,"bytes":1,"total":2,"rate":11520,"eta_s":200})"));
  EXPECT_EQ(r.percent(), 45);
  EXPECT_EQ(FleetDisplay::leftText(r.secondsLeft()), "3 min");
  EXPECT_EQ(FleetDisplay::rateText(r.rate()), "11.2 KiB/s");  // one unit everywhere
  EXPECT_FALSE(r.applyLine("not json at all"));
  r.applyLine(R"({"event":"progress","percent":50,"rate":-1e999})");  // no JSON: a number out of range
  EXPECT_EQ(r.percent(), 45);
  r.applyLine(R"({"event":"progress","percent":4422222222,"rate":-5})");  // garbage from a child
  EXPECT_EQ(r.percent(), 100);
  EXPECT_EQ(r.rate(), 0);
  // Texts tell the fleet nothing: the engine may say anything in any words.
  EXPECT_FALSE(r.applyLine(R"({"event":"status","text":"Waiting for the receiver reboot...\n"})"));
  EXPECT_FALSE(r.applyLine(R"({"event":"log","text":"Receiver model: XX-999\n"})"));
  EXPECT_EQ(r.model(), "VR-100");
  EXPECT_TRUE(r.applyLine(R"({"event":"stage","stage":"rebooting","image":null})"));
  EXPECT_EQ(r.stageText(), "waiting for the reboot");
  EXPECT_TRUE(r.applyLine(R"({"event":"stage","stage":"confirming","image":null})"));
  r.applyLine(kSuccess);
  EXPECT_FALSE(r.ended());  // decided by how the child ends
  r.childEnded(exited(0), "", ReceiverState::Clock::now());
  EXPECT_TRUE(r.loaded());
  EXPECT_EQ(r.outcome(), "confirmed");
  EXPECT_EQ(r.firmwareAfter(), "4.3");
  EXPECT_EQ(r.serial(), "VR1");
}

// The summary counts each receiver once, as what it is; one left alone has no log, exit status or
// times, and no count takes it for a failure.
TEST(FleetJson, TheSummaryCountsEachReceiverAsWhatItIs) {
  const auto start = ReceiverState::Clock::now();
  std::vector<ReceiverState> receivers;
  for (const char* port : {"/dev/ttyUSB0", "/dev/ttyUSB1"}) {
    receivers.emplace_back(port, std::string("logs/") + (port + 5) + ".log");
    receivers.back().foundCurrent("VR-100", "VR1", "4.3 Dec,08,2026", start);
  }
  receivers.push_back(fed({kSuccess}));
  receivers.back().childEnded(exited(0), "", ReceiverState::Clock::now());
  receivers.push_back(fed({resultLine("failed", "loading", "/dev/ttyUSB0", "Send file error.", 1)}));
  receivers.back().childEnded(exited(1), "", ReceiverState::Clock::now());
  const auto summary = jsonevents::Json::parse(FleetDisplay::summaryJson(receivers, 1, start, false));
  EXPECT_EQ(summary["loaded"], 1);
  EXPECT_EQ(summary["current"], 2);
  EXPECT_EQ(summary["failed"], 1);
  EXPECT_EQ(summary["unconfirmed"], 0);
  const auto& left = summary["receivers"].at(0);
  EXPECT_EQ(left["outcome"], "current");
  for (const char* unknown : {"log", "exit_status", "started", "ended"})
    EXPECT_TRUE(left[unknown].is_null()) << unknown << ": nothing ran";
  EXPECT_EQ(summary["receivers"].at(2)["exit_status"], 0);
}

TEST(FleetReceiverState, NoSuccessWithoutAConfirmedResultOfThisPortAndAClean0) {
  ReceiverState crashed = fed({kSuccess});
  crashed.childEnded({128 + SIGSEGV, SIGSEGV, "Segmentation fault"}, "", ReceiverState::Clock::now());  // killed after its result
  EXPECT_EQ(crashed.stage(), Stage::Failed);
  EXPECT_NE(crashed.reason().find("killed by signal 11"), std::string::npos) << crashed.reason();
  EXPECT_EQ(crashed.exitStatus(), 128 + SIGSEGV);

  ReceiverState silent = fed({R"({"event":"stage","stage":"capturing","image":null})"});
  silent.childEnded(exited(0), "", ReceiverState::Clock::now());  // exit 0 but no result
  EXPECT_EQ(silent.stage(), Stage::Failed);
  EXPECT_EQ(silent.outcome(), "failed");

  ReceiverState usage = fed({});
  usage.childEnded(exited(2), "vestrel: /source is missing.", ReceiverState::Clock::now());
  EXPECT_EQ(usage.reason(), "vestrel: /source is missing.");
  EXPECT_EQ(usage.exitStatus(), 2);

  // Another receiver loaded: the result names another port than the one the fleet gave.
  std::string other = kSuccess;
  other.replace(other.find("/dev/ttyUSB0"), 12, "COM1");
  ReceiverState wrong = fed({other});
  wrong.childEnded(exited(0), "", ReceiverState::Clock::now());
  EXPECT_EQ(wrong.stage(), Stage::Failed);
  EXPECT_EQ(wrong.reason(), "vestrel reported a load of COM1, not of /dev/ttyUSB0");

  // Loaded, but the receiver did not answer for its firmware afterwards: its own result.
  ReceiverState unconfirmed = fed({resultLine("unconfirmed", "confirming", "/dev/ttyUSB0", "Main firmware: 4.2 -> not confirmed", 3)});
  unconfirmed.childEnded(exited(3), "", ReceiverState::Clock::now());
  EXPECT_TRUE(unconfirmed.unconfirmed());
  EXPECT_FALSE(unconfirmed.loaded());
  EXPECT_EQ(unconfirmed.outcome(), "unconfirmed");
}

TEST(FleetReceiverState, AFailureSaysWhyAndInWhichStage) {
  ReceiverState r = fed({R"({"event":"stage","stage":"loading","image":"Main firmware"})",
                         resultLine("failed", "loading", "/dev/ttyUSB0", "Send file error. Send: 41%.", 1)});
  r.childEnded(exited(1), "", ReceiverState::Clock::now());
  EXPECT_EQ(r.reason(), "Send file error. Send: 41%. (while loading)");
  EXPECT_EQ(r.outcome(), "failed");

  ReceiverState plain = fed({resultLine("failed", "testing", "/dev/ttyUSB0", "Receiver not found.", 1)});
  plain.childEnded(exited(1), "", ReceiverState::Clock::now());
  EXPECT_EQ(plain.reason(), "Receiver not found.");

  ReceiverState refused = fed({resultLine("refused", "connecting", "/dev/ttyUSB0", "Error opening port", 1)});
  refused.childEnded(exited(1), "", ReceiverState::Clock::now());
  EXPECT_EQ(refused.outcome(), "refused");
}

TEST(FleetJson, ReadsOnlyEventObjectsAndWritesNothingATerminalWouldObey) {
  const auto v = jsonevents::read(R"( {"event":"x","a":"x\"\\\/\n\u00e9","n":-1.5e2,"z":null} )");
  ASSERT_TRUE(v);
  EXPECT_EQ(jsonevents::text(*v, "a"), "x\"\\/\n\xc3\xa9");
  EXPECT_EQ(jsonevents::number(*v, "n", 0), -150);
  EXPECT_EQ(jsonevents::text(*v, "z", "fallback"), "fallback");  // null is no text
  EXPECT_EQ(jsonevents::number(*v, "missing", 7), 7);
  for (const char* bad : {"", "{", "{\"a\":}", "[1]", "{\"event\":\"x\",\"n\":1e999}", "{\"event\":1}", "{} x", "\"a\nb\"", "tru"})
    EXPECT_FALSE(jsonevents::read(bad)) << bad;
  EXPECT_FALSE(jsonevents::read(std::string(100000, '[') + std::string(100000, ']')));  // deep, and no crash
  // Escape sequences, DEL and C1 controls leave escaped; bytes that are no UTF-8 are replaced.
  const std::string line = jsonevents::line({{"t", std::string("\x1b[2J\x7f\xc2\x9b\xff \xe2\x80\x94")}});
  for (char c : line) EXPECT_TRUE(c == '\n' || (c >= 0x20 && c < 0x7f)) << line;
  EXPECT_EQ(jsonevents::Json::parse(line)["t"], "\x1b[2J\x7f\xc2\x9b\xef\xbf\xbd \xe2\x80\x94");
}

TEST(FleetDiscovery, AddsTheStoredHostsOnceByTheirCanonicalText) {
  std::vector<std::string> ports{"/dev/ttyUSB0", "tcp:10.0.0.5:8002"};
  addStoredPorts({{"Base North", "Base North", "10.0.0.5:8002:pw", ConnectionKind::Tcpip},
                  {"Rover", "Rover", "[fe80::1]:4001:pw", ConnectionKind::Tcpip},
                  {"Pole", "Pole", "(00:11:22:33:44:55)", ConnectionKind::Bluetooth}},
                 "", ports);
  EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyUSB0", "tcp:10.0.0.5:8002", "tcp:[fe80::1]:4001",
                                             "bt:(00:11:22:33:44:55)"}));
  std::vector<std::string> matched;
  addStoredPorts({{"Rover", "Rover", "10.0.0.9:1:pw", ConnectionKind::Tcpip}}, "North", matched);
  EXPECT_TRUE(matched.empty());
}

TEST(FleetDiscovery, TakesTheListedPortsThatMatch) {
  const std::string listing =
      R"([{"name":"ttyUSB0","description":"CP2102 USB to UART","kind":"serial","port":"/dev/ttyUSB0"},)"
      R"({"name":"ttyS0","description":"ttyS0","kind":"serial","port":"/dev/ttyS0"},)"
      R"({"name":"USB","description":"VR-100 receiver","kind":"usb","port":"usb:1-2"}])";
  std::vector<std::string> ports;
  std::string error;
  ASSERT_TRUE(portsFromListing(listing, "USB|receiver", ports, error));
  EXPECT_EQ(ports, (std::vector<std::string>{"/dev/ttyUSB0", "usb:1-2"}));
  ports.clear();
  ASSERT_TRUE(portsFromListing(listing, "", ports, error));
  EXPECT_EQ(ports.size(), 3u);
  EXPECT_FALSE(portsFromListing("oops", "", ports, error));
}

// What each child of an inventory printed, as a row: a receiver found, nothing answered, a child
// that printed nothing useful; a receiver's answer never brings a control character along.
TEST(FleetInventory, ReadsEachChildsAnswer) {
  const InventoryEntry found = FleetInventory::fromChild(
      "/dev/ttyUSB0",
      R"({"port":"/dev/ttyUSB0","found":true,"model":"VR-\u001b[2J100","id":"VR1","hardware":"20","board":"VB-2","firmware":"4.2","rate":115200})" "\n",
      0, "");
  EXPECT_TRUE(found.found);
  EXPECT_EQ(found.rate, 115200);
  const InventoryEntry silent =
      FleetInventory::fromChild("/dev/ttyUSB1", R"({"port":"/dev/ttyUSB1","found":false,"reason":"Receiver not found."})", 1, "");
  EXPECT_FALSE(silent.found);
  EXPECT_EQ(silent.reason, "Receiver not found.");
  const InventoryEntry crashed = FleetInventory::fromChild("/dev/ttyUSB2", "garbage", 134, "Aborted");
  EXPECT_FALSE(crashed.found);
  EXPECT_EQ(crashed.reason, "Aborted");
  const std::string table = FleetInventory::asText({found, silent, crashed});
  EXPECT_EQ(table.find('\x1b'), std::string::npos) << table;
  EXPECT_NE(table.find("1 of 3 ports answered."), std::string::npos) << table;
  EXPECT_NE(FleetInventory::asJson({silent}).find(R"("found":false,"reason":"Receiver not found.")"), std::string::npos);

  FleetOptions identify;
  EXPECT_EQ(parse({"--identify", "--port", "a"}, identify), "");  // no "--" needed: nothing is loaded
  EXPECT_TRUE(identify.identify);
  FleetOptions skip;
  EXPECT_NE(parse({"--port", "a", "--skip-current", "--", "/source", "x"}, skip), "");
  FleetOptions both;
  EXPECT_NE(parse({"--identify", "--port", "a", "--skip-current", "--expect-version", "4.3"}, both), "");
}

// "--receivers": the columns by the header in any order, quoted cells, comments; a line without a
// receiver id, a control character or an id listed twice (in another case) is refused by its line.
TEST(ReceiverList, ReadsTheOrdersColumnsAndRefusesWhatCannotBeLoaded) {
  TempDir dir;
  const auto listOf = [&dir](const std::string& text, bool needPorts, std::vector<ListedReceiver>& listed) {
    std::ofstream(dir.file("list.csv"), std::ios::binary) << text;
    listed.clear();
    std::string error;
    receiverlist::read(dir.file("list.csv"), needPorts, listed, error);
    return error;
  };
  std::vector<ListedReceiver> listed;
  EXPECT_EQ(listOf("# line 3\nreceiver_id,port,lot\r\nVR-1,/dev/ttyUSB0,\"L1, a\"\n\nVR-2,,\n", false, listed), "");
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].port, "/dev/ttyUSB0");
  EXPECT_EQ(listed[0].order.lot, "L1, a");
  EXPECT_EQ(listed[1].line, 5);
  EXPECT_EQ(receiverlist::orderOptions(listed[0].order),
            (std::vector<std::string>{"--receiver-id", "VR-1", "--lot", "L1, a"}));
  EXPECT_NE(listOf("/dev/ttyUSB0,VR-1\n/dev/ttyUSB1,vr-1\n", true, listed).find("twice"), std::string::npos);
  EXPECT_NE(listOf("port,receiver_id\n/dev/ttyUSB0,\n", true, listed).find("line 2: it names no receiver id"),
            std::string::npos);
  EXPECT_NE(listOf("port,receiver_id\n,VR-1\n", true, listed).find("no port"), std::string::npos);
  EXPECT_NE(listOf("/dev/ttyUSB0,VR\x1b[2J\n", true, listed).find("control character"), std::string::npos);
  EXPECT_NE(listOf("port,serial\n", true, listed).find("\"serial\""), std::string::npos);
  EXPECT_NE(listOf("# nothing\n", true, listed).find("no receiver"), std::string::npos);
}

// A listed receiver is loaded where it answered, whatever port the list gave it; the others are
// told apart: not listed, found nowhere, nothing answered, an id answering twice.
TEST(ReceiverList, PlacesEachListedReceiverWhereItAnswered) {
  const auto listed = [](std::string port, std::string id) {
    ListedReceiver r;
    r.port = std::move(port);
    r.order.receiverId = std::move(id);
    return r;
  };
  const auto answered = [](std::string port, std::string id) {
    InventoryEntry e;
    e.port = std::move(port);
    e.found = !id.empty();
    e.id = std::move(id);
    return e;
  };
  const receiverlist::Assignment a = receiverlist::assign(
      {listed("/dev/ttyUSB0", "VR-A"), listed("/dev/ttyUSB2", "vr-b"), listed("", "VR-GONE")},
      {answered("/dev/ttyUSB0", "VR-A"), answered("/dev/ttyUSB1", "VR-B"), answered("/dev/ttyUSB2", "VR-C"),
       answered("/dev/ttyUSB3", ""), answered("/dev/ttyUSB4", "VR-A")});
  ASSERT_EQ(a.loads.size(), 2u);
  EXPECT_EQ(a.loads[1].port, "/dev/ttyUSB1");
  EXPECT_EQ(a.loads[1].listed.order.receiverId, "vr-b");
  ASSERT_EQ(a.unlisted.size(), 2u);
  EXPECT_EQ(a.unlisted[0].id, "VR-C");
  EXPECT_EQ(a.unlisted[1].port, "/dev/ttyUSB4");  // VR-A answered here too: not loaded twice
  ASSERT_EQ(a.notFound.size(), 1u);
  EXPECT_EQ(a.notFound[0].order.receiverId, "VR-GONE");
  ASSERT_EQ(a.silent.size(), 1u);
}
