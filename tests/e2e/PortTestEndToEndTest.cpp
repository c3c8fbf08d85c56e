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
  EXPECT_EQ(test(setup), "aborted");
  EXPECT_NE(events.logText().find("Error: The receiver must be connected by its serial port using a cable."),
            std::string::npos);
}
