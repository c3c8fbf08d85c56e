#include <gtest/gtest.h>

#include "BootBytes.h"
#include "BootCapture.h"
#include "BootDownload.h"
#include "BootEntry.h"
#include "BootLoaderRun.h"
#include "DtpBytes.h"
#include "DtpReceiver.h"
#include "FakePort.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "RecordingEvents.h"

namespace {

// A worker over a fake link whose time moves only when the engine waits.
struct Bench {
  Bench() : f(&clock), worker(f.channel, set, RunSettings{LoadMethod::SoftBreakCapture, SourceKind::Folder}, {}, events, clock) {}
  FakePort& connect() {
    EXPECT_TRUE(f.connect());
    return *f.port;
  }
  FakeClock clock;
  FakeChannel f;
  FirmwareImageSet set;
  RecordingEvents events;
  LoadWorker worker;
};

std::vector<uint8_t> bytesOf(const std::string& s) { return {s.begin(), s.end()}; }

}  // namespace

TEST(BootSteps, EachWayIntoTheBootLoaderDoesItsOwnSteps) {
  Bench b;
  FakePort& port = b.connect();
  port.bridge = true;  // the bridge switches the power: off (both lines high), then on
  ASSERT_TRUE(BootEntry::forMethod(LoadMethod::PowerOnCapture)->enter(b.worker));
  EXPECT_EQ(port.latches, (std::vector<std::pair<uint8_t, uint8_t>>{{0x06, 0x06}, {0x04, 0x00}}));
  EXPECT_EQ(port.writtenText(), "");

  port.bridge = false;  // no bridge: the operator is asked
  ASSERT_TRUE(BootEntry::forMethod(LoadMethod::PowerOnCapture)->enter(b.worker));
  EXPECT_EQ(port.latches.size(), 2u);
  EXPECT_NE(b.events.statusText().find("Turn your receiver on."), std::string::npos);

  ASSERT_TRUE(BootEntry::forMethod(LoadMethod::SoftBreakCapture)->enter(b.worker));
  EXPECT_EQ(port.writtenText(), "\nset,reset,yes\n");
  EXPECT_EQ(BootEntry::forMethod(LoadMethod::FileUpload), nullptr);
}

TEST(BootSteps, RamChecksum) {
  const std::vector<uint8_t> abc = bytesOf("abc");
  EXPECT_EQ(ramChecksum(abc.data(), abc.size()), 0x00187163u);
}

TEST(BootSteps, RamStreamPiecesChecksumAndAcknowledgement) {
  Bench b;
  FakePort& port = b.connect();
  std::vector<uint8_t> data(2500);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i);
  FirmwareImage image = FirmwareImage::fromBytes("x.ldr", data, SourceKind::Folder);
  port.feed(std::vector<uint8_t>{bootbytes::kLoaded});
  EXPECT_TRUE(loadRam(b.worker, image, "RAM loader"));
  EXPECT_EQ(port.writeSizes(), (std::vector<int>{1024, 1024, 452, 1, 1, 1, 1}));
  const std::vector<uint8_t> written = port.written();
  const uint32_t sum = ramChecksum(data.data(), data.size());
  EXPECT_EQ(written[2500], sum >> 24);
  EXPECT_EQ(written[2503], sum & 0xFF);
  const auto events = b.events.events();
  EXPECT_EQ(std::count(events.begin(), events.end(), "progress:40"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "progress:81"), 1);
  EXPECT_EQ(std::count(events.begin(), events.end(), "progress:100"), 1);
  EXPECT_NE(b.events.logText().find("RAM loader loaded.\r\n"), std::string::npos);

  RunState rs;
  port.feed(std::vector<uint8_t>{bootbytes::kNak});
  loadRamStep(b.worker, rs, image, "RAM loader");
  EXPECT_FALSE(rs.ok);
  EXPECT_EQ(rs.errorText, "Load RAM loader error.");
  EXPECT_NE(b.events.logText().find("LoadRAM: Checksum mismatch.\r\nError in loading RAM loader.\r\n"), std::string::npos);
  EXPECT_FALSE(loadRam(b.worker, image, "RAM loader"));  // silence
  EXPECT_NE(b.events.logText().find("LoadRAM: Timeout receiving acknowledge.\r\n"), std::string::npos);
}

TEST(BootSteps, VersionComparison) {
  Bench b;
  EXPECT_EQ(compareVersions(b.worker, 20, 1, 22, 20), VersionCheck::Accepted);
  EXPECT_EQ(compareVersions(b.worker, 22, 1, 20, 22), VersionCheck::Accepted);
  EXPECT_EQ(compareVersions(b.worker, 20, 1, 20, 22), VersionCheck::FlashWrongHardware);
  EXPECT_EQ(compareVersions(b.worker, 21, 0, 20, 21), VersionCheck::RamWrongHardware);
  EXPECT_FALSE(b.events.has("warning:The file wishes a newer software version.\nPlease, upgrade this software!"));
  EXPECT_EQ(compareVersions(b.worker, 20, 2, 20, 20), VersionCheck::Accepted);
  EXPECT_TRUE(b.events.has("warning:The file wishes a newer software version.\nPlease, upgrade this software!"));
}

TEST(BootSteps, VersionBytesAndDecision) {
  Bench b;
  FakePort& port = b.connect();
  int hw = 0, second = 0;
  port.feed(std::vector<uint8_t>{0x15, 0x15, 0x14, 0x01});
  ASSERT_TRUE(readBootVersions(b.worker, hw, second));
  EXPECT_EQ(hw, 20);
  EXPECT_EQ(second, 1);
  port.whenEmpty = [](FakePort& p) { p.feed(std::vector<uint8_t>(64, 0x15)); };  // NAK without end
  EXPECT_FALSE(readBootVersions(b.worker, hw, second));
  port.whenEmpty = nullptr;

  RunState rs;
  port.feed(std::vector<uint8_t>{0x14, 0x01});
  checkBootVersions(b.worker, rs, false, 20, 22);  // flash image for other hardware
  EXPECT_FALSE(rs.ok);
  EXPECT_EQ(rs.errorText, "Flash file has wrong hardware version.");
  EXPECT_EQ(port.written().back(), bootbytes::kStop);  // the refusal is sent

  RunState board;
  port.feed(std::vector<uint8_t>{0x16, 0x01});
  checkBootVersions(b.worker, board, true, 20, 0xFFFFFFFF);  // a board image: flash check skipped
  EXPECT_TRUE(board.ok);
  EXPECT_EQ(port.written().back(), bootbytes::kGoOn);
}

TEST(BootSteps, Handshake) {
  Bench b;
  FakePort& port = b.connect();
  port.feed(std::vector<uint8_t>{0x15, 0x15, 0x41, 0x15});
  EXPECT_TRUE(bootHandshake(b.worker));
  EXPECT_EQ(port.written(), std::vector<uint8_t>(4, bootbytes::kAck));
  port.feed(std::vector<uint8_t>(11, 0x41));
  port.feed(std::vector<uint8_t>{0x15, 0x15, 0x15});
  EXPECT_FALSE(bootHandshake(b.worker));
}

TEST(BootSteps, CaptureAtOnce) {
  Bench b;
  FakePort& port = b.connect();
  port.responder = [](const uint8_t* d, int n, FakePort& p) {
    if (n == bootbytes::kCaptureBlock && d[0] == bootbytes::kCapturePattern) p.feed(std::vector<uint8_t>{0x15});
    if (n == 1 && d[0] == bootbytes::kAck) p.feed(std::vector<uint8_t>{0x15});
  };
  RunState rs;
  captureBootLoader(b.worker, rs);
  EXPECT_TRUE(rs.ok);
  EXPECT_EQ(b.events.statusText(), "Capturing...\r\nCaptured.\r\n");
  EXPECT_EQ(port.writtenText().find("set,reset,yes"), std::string::npos);
}

TEST(BootSteps, SilentReceiverIsResetEveryTenSecondsAndGivenUpAfter45) {
  Bench b;
  FakePort& port = b.connect();
  const int64_t start = b.clock.nowMs();
  RunState rs;
  captureBootLoader(b.worker, rs);
  EXPECT_FALSE(rs.ok);
  EXPECT_EQ(rs.errorText, "Boot connection error.");
  const std::string written = port.writtenText();
  int resets = 0;
  for (auto at = written.find("##\n##\nset,reset,yes\n"); at != std::string::npos; at = written.find("##\n##\nset,reset,yes\n", at + 1))
    ++resets;
  EXPECT_EQ(resets, 4);
  EXPECT_GE(b.clock.nowMs() - start, 45000);
  EXPECT_LT(b.clock.nowMs() - start, 47000);
}

TEST(BootSteps, AbortEndsTheCapture) {
  Bench b;
  b.connect();
  b.worker.abortRequested = true;
  RunState rs;
  EXPECT_FALSE(waitForBootLoader(b.worker));
  b.worker.abortRequested = false;
  int passes = 0;
  b.f.port->responder = [&](const uint8_t*, int, FakePort&) {
    if (++passes == 3) b.worker.abortRequested = true;
  };
  captureBootLoader(b.worker, rs);
  EXPECT_EQ(rs.errorText, "Aborted by user");
  EXPECT_LE(passes, 4);
}

TEST(BootSteps, FlashTransferByLoaderVersion) {
  for (uint32_t version : {0u, 2u, 3u}) {
    Bench b;
    FakePort& port = b.connect();
    const int block = flashBlockSize(512, version);
    std::unique_ptr<DtpReceiver> rx;
    std::vector<uint8_t> announce;
    port.responder = [&](const uint8_t* d, int n, FakePort&) {
      if (!rx && version >= 3 && announce.size() < 4) {
        announce.insert(announce.end(), d, d + n);
        return;
      }
      if (rx) rx->feed(d, static_cast<std::size_t>(n), 0);
    };
    DtpReceiver::Faults faults;
    faults.endWithEndAck = version == 3;
    rx = std::make_unique<DtpReceiver>(block, faults, [&](const uint8_t* d, std::size_t n) {
      port.feed(std::vector<uint8_t>(d, d + n));
    });
    if (version >= 3) rx.reset();
    port.whenEmpty = [&](FakePort&) {
      if (!rx) rx = std::make_unique<DtpReceiver>(block, faults, [&](const uint8_t* d, std::size_t n) {
        port.feed(std::vector<uint8_t>(d, d + n));
      });
      rx->tick(b.clock.nowMs());
    };
    std::vector<uint8_t> data(5000, 0x33);
    FirmwareImage image = FirmwareImage::fromBytes("main.ldp", data, SourceKind::Folder);
    const FlashResult result = sendFlashImage(b.worker, image, "Main firmware", version, 512);
    if (version == 2) {
      EXPECT_EQ(result, FlashResult::NoEndAck);  // no 0x1E within 2.5 s
      EXPECT_EQ(block, 512);
    } else {
      EXPECT_EQ(result, FlashResult::Done) << version;
      EXPECT_EQ(rx->bytes(), data);
    }
    if (version == 3) {
      EXPECT_EQ(block, 2048);
      EXPECT_EQ(announce, (std::vector<uint8_t>{0, 0, 8, 0}));
    }
  }
}

TEST(BootSteps, FailedHandshakeFailsEvenAnEmptyImage) {
  Bench b;
  b.connect();
  FirmwareImage empty = FirmwareImage::fromBytes("main.ldp", {}, SourceKind::Folder);
  RunState rs;
  EXPECT_EQ(loadFlashStep(b.worker, rs, empty, 0, "Main firmware", 512), FlashResult::BlockFailed);
  EXPECT_FALSE(rs.ok);
  EXPECT_EQ(rs.errorText, "Send file error.");
  EXPECT_NE(b.events.logText().find("TIMEOUT\r\nSend file error. Send: 0%.\r\nError in Main firmware loading.\r\n"),
            std::string::npos);
}

TEST(BootSteps, UtilityLoaderLookUp) {
  FirmwareImageSet set;
  for (const char* n : {"110.ldp", "_10.ldr", "_25.ldr", "_15.ldr"})
    set.add(FirmwareImage::fromBytes(n, std::vector<uint8_t>(32, 1), SourceKind::Folder));
  EXPECT_EQ(findUtilityLoader(set, 0), 1);
  EXPECT_EQ(findUtilityLoader(set, 5), 2);
  EXPECT_EQ(findUtilityLoader(set, 7), -1);
}

// A link that fails (a pulled cable) ends the waits at once instead of spinning on it: the fake
// clock moves only when the engine waits, so a busy loop here would never end.
TEST(BootSteps, DeadLinkEndsTheCaptureAndTheEndAcknowledgement) {
  Bench b;
  FakePort& port = b.connect();
  port.Purge(CMNC::kPurgeRxAbort);  // every read and write fails from now on, as on a dead device
  const int64_t start = b.clock.nowMs();
  RunState rs;
  captureBootLoader(b.worker, rs);
  EXPECT_EQ(rs.errorText, "Boot connection error.");
  EXPECT_LT(b.clock.nowMs() - start, 100);
  const auto events = b.events.events();
  EXPECT_LE(std::count(events.begin(), events.end(), "pulse"), 1);  // not one pulse a millisecond

  b.f.channel.Disconnect();
  EXPECT_FALSE(waitEndAck(b.worker));  // a closed link answers -1, not "nothing yet"
}
