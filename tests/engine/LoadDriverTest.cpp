// The load driver's decisions that end a run before or around the transfers: a fake link whose
// time moves only when the engine waits.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "BootLoaderRun.h"
#include "FakePort.h"
#include "FirmwareImage.h"
#include "FirmwareImageSet.h"
#include "LoadDriver.h"
#include "LoadWorker.h"
#include "RecordingEvents.h"
#include "SampleFirmware.h"
#include "TempDir.h"

namespace {

// A receiver that answers only the tagged queries a run may ask before its transfers.
struct Driver {
  explicit Driver(LoadMethod method, SourceKind kind = SourceKind::Folder)
      : f(&clock), worker(f.channel, set, RunSettings{method, kind}, {}, events, clock) {
    f.responder = [this](const uint8_t* d, int n, FakePort& p) {
      const std::string line(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
      if (line.find("%fsinit%") != std::string::npos) p.feed("RE007%fsinit%{3,3}\r\n");
      if (line.find("%HardwareVersion%") != std::string::npos && hardware >= 0)
        p.feed("RE004%HardwareVersion%" + std::to_string(hardware) + "\r\n");
    };
    EXPECT_TRUE(f.connect());
    set.source = dir.path() + "/";
  }
  void file(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string error;
    ASSERT_TRUE(sample::writeFile(dir.file(name), bytes, error)) << error;
    set.names.push_back(name);
  }
  std::string logText() const { return events.logText(); }
  TempDir dir;
  FakeClock clock;
  FakeChannel f;
  FirmwareImageSet set;
  RecordingEvents events;
  LoadWorker worker;
  int hardware = 20;  // what the receiver reports; negative: it does not answer
};

const std::vector<uint8_t> kFlash20 = sample::flashImage(4096, 20, 1);

}  // namespace

TEST(LoadDriver, RunsThatEndBeforeAnythingIsSent) {
  {
    Driver d(LoadMethod::SoftBreakCapture);  // a source whose choice left nothing
    loadDriver(d.worker);
    EXPECT_NE(d.logText().find("Nothing to load\r\n"), std::string::npos);
    EXPECT_TRUE(d.events.has("failed"));
  }
  {
    Driver d(LoadMethod::FileUpload);
    d.file("main.ldp", kFlash20);
    d.set.content = SetContent::Unknown;
    loadDriver(d.worker);
    EXPECT_NE(d.logText().find("UKNOWN File type for fld\r\n"), std::string::npos);
    EXPECT_TRUE(d.events.has("failed"));
    EXPECT_EQ(d.f.port->writtenText().find("%put%"), std::string::npos);
  }
  {
    Driver d(LoadMethod::SoftBreakCapture);  // numbered type 1 whose utility loader is absent
    d.file("011.ldp", kFlash20);
    loadDriver(d.worker);
    EXPECT_NE(d.logText().find("Can't find Utility Loader ID=1 for file: "), std::string::npos) << d.logText();
    EXPECT_TRUE(d.events.has("failed"));
    EXPECT_TRUE(d.f.port->written().empty());  // not even the capture pattern
  }
}

// An image of a type this program does not know is skipped and said; the run then cannot count
// as a success, since the receiver lacks it.
TEST(LoadDriver, UnknownNumberedTypeIsSkippedAndFailsTheRun) {
  Driver d(LoadMethod::SoftBreakCapture);
  d.file("0F0.ldp", kFlash20);
  loadDriver(d.worker);
  const std::string log = d.logText();
  EXPECT_NE(log.find("Skipped "), std::string::npos) << log;
  EXPECT_NE(log.find("Upgrade Vestrel."), std::string::npos);
  EXPECT_NE(log.find("Not loaded, this version of Vestrel does not know its type: "), std::string::npos);
  EXPECT_FALSE(d.events.has("succeeded"));
  EXPECT_TRUE(d.events.has("failed"));
}

// The file-upload hardware check: another receiver's image is refused before anything is stored,
// a receiver that does not answer the query is not held against the load, and a board image,
// which carries no flash hardware version, cannot pass it.
TEST(LoadDriver, FileUploadHardwareCheck) {
  {
    Driver d(LoadMethod::FileUpload);
    d.hardware = 22;
    FirmwareImage image = FirmwareImage::fromBytes(d.dir.file("main.ldp"), kFlash20, SourceKind::Folder);
    RunState rs;
    EXPECT_FALSE(fileUploadHardwareCheck(d.worker, image, false, rs));
    EXPECT_EQ(rs.errorText, "main.ldp Flash file has wrong hardware version.");
  }
  {
    Driver d(LoadMethod::FileUpload);
    d.hardware = -1;
    FirmwareImage image = FirmwareImage::fromBytes(d.dir.file("main.ldp"), kFlash20, SourceKind::Folder);
    RunState rs;
    EXPECT_TRUE(fileUploadHardwareCheck(d.worker, image, false, rs));
    EXPECT_TRUE(rs.ok);
  }
  {
    Driver d(LoadMethod::FileUpload);
    FirmwareImage image = FirmwareImage::fromBytes(d.dir.file("main.ldp"), kFlash20, SourceKind::Folder);
    RunState rs;
    EXPECT_TRUE(fileUploadHardwareCheck(d.worker, image, false, rs));
    EXPECT_NE(d.events.statusText().find("Ready to load firmware images!\r\n"), std::string::npos);
    FirmwareImage board =
        FirmwareImage::fromBytes(d.dir.file("rfbrd.ldr"), sample::loaderImage("VRBD", 2048, 0, 20, 3), SourceKind::Folder);
    RunState refused;
    EXPECT_FALSE(fileUploadHardwareCheck(d.worker, board, false, refused));
    EXPECT_EQ(refused.errorText, "rfbrd.ldr Flash file has wrong hardware version.");
  }
}

// A file upload of two chosen images drops the RAM loader: the receiver's file system takes only
// what it flashes itself.
TEST(LoadDriver, FileUploadDropsTheRamLoaderOfTwoImages) {
  Driver d(LoadMethod::FileUpload);
  d.file("ramimage.ldr", sample::loaderImage("VRLD", 2048, 3, 20, 2));
  d.file("main.ldp", kFlash20);
  RunState rs;
  ASSERT_TRUE(readImages(d.worker, false, rs));
  ASSERT_TRUE(rs.ok);
  ASSERT_EQ(d.set.count(), 1u);
  EXPECT_EQ(d.set.at(0).fileName, "main.ldp");
}
