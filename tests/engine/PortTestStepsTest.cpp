// The port test's walk over the speeds on a fake link whose time moves only when the engine waits.
#include <gtest/gtest.h>

#include <string>

#include "FakePort.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "PortTest.h"
#include "RecordingEvents.h"

namespace {

struct Walk {
  Walk() : f(&clock), worker(f.channel, set, RunSettings{LoadMethod::SoftBreakCapture, SourceKind::Folder}, {}, events, clock) {
    setup.speeds = {{"115200", 115200}, {"Max. possible speed", 115200}};
    EXPECT_TRUE(f.connect());
  }
  FakeClock clock;
  FakeChannel f;
  FirmwareImageSet set;
  RecordingEvents events;
  LoadWorker worker;
  PortTestSetup setup;
};

}  // namespace

TEST(PortTestSteps, SilentReceiverIsNotFound) {
  Walk w;
  portTestProcedure(w.worker, w.setup);
  const std::string log = w.events.logText();
  EXPECT_NE(log.find("Asking the receiver"), std::string::npos);  // a USB link has no speed to try
  // The reason is the run's last word before its end's own line; "aborted" is said of a stop only.
  const std::string end = "\r\nReceiver not found.\r\nThe process failed.";
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
  EXPECT_TRUE(w.events.has("failed"));
}

// A stop during the walk ends it with its own line, and nothing is reported after it.
TEST(PortTestSteps, StopEndsTheWalk) {
  Walk w;
  int probes = 0;
  w.f.port->responder = [&](const uint8_t*, int, FakePort& p) {
    p.feed("echo\r\n");  // the wake-up is answered, the probe never is
    if (++probes == 4) w.worker.abortRequested = true;
  };
  portTestProcedure(w.worker, w.setup);
  const std::string log = w.events.logText();
  EXPECT_EQ(log.substr(log.size() - std::string("\r\nAborted.").size()), "\r\nAborted.");
  EXPECT_FALSE(w.events.has("failed"));  // the stop, not the test, ends the run
  EXPECT_FALSE(w.events.has("succeeded"));
}

// An answer behind binary output with zero bytes in it is found on the first attempt.
TEST(PortTestSteps, AnswerBehindBinaryOutput) {
  Walk w;
  w.setup.method = LoadMethod::FileUpload;  // any port will do
  w.f.port->responder = [](const uint8_t* d, int n, FakePort& p) {
    const std::string line(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
    if (line.find("%PORT TEST%") != std::string::npos)
      p.feed(std::string("\xB5\x62\x00\x01\x00", 5) + "RE00D%PORT TEST%\r\n");
    else if (line.rfind("%", 0) == 0 || line.find("\n%") != std::string::npos)
      p.feed("RE004%" + line.substr(line.find('%') + 1, line.find('%', line.find('%') + 1) - line.find('%') - 1) + "%x\r\n");
    else
      p.feed("echo\r\n");
  };
  portTestProcedure(w.worker, w.setup);
  EXPECT_TRUE(w.events.has("succeeded")) << w.events.logText();
  const std::string written = w.f.port->writtenText();
  int probesSent = 0;
  for (auto at = written.find("%PORT TEST%"); at != std::string::npos; at = written.find("%PORT TEST%", at + 1)) ++probesSent;
  EXPECT_EQ(probesSent, 2);  // one a speed entry: each answered at once
}
