#include <algorithm>

#include "LoadSession.h"
#include "RecordingEvents.h"
#include "SimFixture.h"

namespace {

PortTestSetup serialSetup(int selected, LoadMethod method) {
  PortTestSetup setup;
  setup.method = method;
  setup.speeds.push_back({std::to_string(selected), selected});
  for (int s : {1500000, 460800, 230400, 115200, 57600, 38400, 19200, 9600, 4800})
    setup.speeds.push_back({std::to_string(s), s});
  return setup;
}

class PortTestRun : public SimFixture {
 protected:
  // The port test as "Test" starts it, through the engine session; setup receives the results.
  std::string test(PortTestSetup& setup) {
    EXPECT_TRUE(session.startTest(TestRequest{serialEntry(), setup.method, setup.speeds}, events));
    const std::string outcome = events.waitOutcome(std::chrono::seconds(90));
    session.stop();
    setup = session.testResult();
    return outcome;
  }
  LoadSession session;
  RecordingEvents events;
};

}  // namespace

TEST_F(PortTestRun, FindsTheReceiverAndMovesItToTheSelectedSpeed) {
  ReceiverConfig config;
  config.rate = 9600;
  startReceiver(config);
  PortTestSetup setup = serialSetup(115200, LoadMethod::SoftBreakCapture);
  ASSERT_EQ(test(setup), "succeeded") << events.logText();
  EXPECT_EQ(receiver->rate(), 115200);
  EXPECT_EQ(setup.currentPort, "/dev/ser/a");
  EXPECT_EQ(setup.model, "VR-100");
  EXPECT_FALSE(setup.portBPowerSlots);
  const std::string log = events.logText();
  EXPECT_NE(log.find("Receiver model: VR-100\r\n"), std::string::npos);
  EXPECT_NE(log.find("Port speed: 115200\r\n"), std::string::npos);
}

TEST_F(PortTestRun, PowerSlotRuleAndCableRule) {
  ReceiverConfig config;
  config.model = "QUBRA";
  config.serialPortName = "/dev/ser/b";
  config.powerSlots = "on demand";
  startReceiver(config);
  PortTestSetup setup = serialSetup(115200, LoadMethod::SoftBreakCapture);
  ASSERT_EQ(test(setup), "succeeded") << events.logText();
  EXPECT_TRUE(setup.portBPowerSlots);
  EXPECT_TRUE(eventually([&] {
    const std::vector<std::string> commands = receiver->commands();
    return std::find(commands.begin(), commands.end(), "set,/par/pwr/slots,always") != commands.end();
  }));
}

TEST_F(PortTestRun, BootLoaderMethodsNeedASerialCable) {
  ReceiverConfig config;
  config.serialPortName = "/dev/blt/a";
  startReceiver(config);
  PortTestSetup setup = serialSetup(115200, LoadMethod::SoftBreakCapture);
  EXPECT_EQ(test(setup), "failed");
  EXPECT_NE(events.logText().find("Error: The receiver must be connected by its serial port using a cable."),
            std::string::npos);
}

// "--identify" finds the speed a receiver answers at but changes nothing in it: no "set" of any
// kind (its rate stays, the power-slot rule is not applied), nothing stored or flashed; over
// TCP/IP as over a serial line. The port test of a load asks the same identity questions.
TEST_F(PortTestRun, IdentifySetsNothingAndFindsTheSpeed) {
  ReceiverConfig config;
  config.rate = 230400;
  config.model = "QUBRA";  // the power-slot rule would set its slots
  config.serialPortName = "/dev/ser/b";
  config.powerSlots = "on demand";
  startReceiver(config, true);
  const auto noSet = [this] {
    const std::vector<std::string> commands = receiver->commands();
    return std::none_of(commands.begin(), commands.end(), [](const std::string& c) { return c.rfind("set,", 0) == 0; });
  };
  for (const PortEntry& entry : {serialEntry(), tcpEntry()}) {
    SCOPED_TRACE(entry.name);
    PortTestSetup setup = serialSetup(115200, LoadMethod::FileUpload);
    RecordingEvents identified;
    ASSERT_TRUE(session.startIdentify(TestRequest{entry, setup.method, setup.speeds}, identified));
    ASSERT_EQ(identified.waitOutcome(std::chrono::seconds(90)), "succeeded") << identified.logText();
    session.stop();
    const PortTestSetup found = session.testResult();
    EXPECT_EQ(found.model, "QUBRA");
    EXPECT_EQ(found.identity, "VR100-0001234");
    EXPECT_EQ(found.hardware, "20");
    EXPECT_EQ(found.board, "VB-2");
    EXPECT_EQ(found.mainFirmware, "4.2 Dec,01,2026");
    EXPECT_EQ(found.answeredRate, entry.kind == ConnectionKind::Serial ? 230400 : 0);
  }
  EXPECT_EQ(receiver->rate(), 230400);
  EXPECT_TRUE(noSet());
  EXPECT_TRUE(receiver->flashed().empty());
  EXPECT_TRUE(receiver->files().empty());

  // A silent line: nobody answers at any speed.
  receiver->setFaults([] {
    ReceiverFaults f;
    f.silent = true;
    return f;
  }());
  PortTestSetup setup = serialSetup(115200, LoadMethod::FileUpload);
  setup.speeds.resize(1);
  RecordingEvents silent;
  ASSERT_TRUE(session.startIdentify(TestRequest{serialEntry(), setup.method, setup.speeds}, silent));
  EXPECT_EQ(silent.waitOutcome(std::chrono::seconds(90)), "failed");
  session.stop();
}
