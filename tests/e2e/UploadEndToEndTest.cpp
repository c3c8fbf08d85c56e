#include <chrono>

#include "SampleFixture.h"

namespace {

class FileUpload : public SampleFixture {};

}  // namespace

TEST_F(FileUpload, StoredFileFlashOverTcp) {
  startReceiver({}, true);
  ASSERT_EQ(h.run(tcpEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "succeeded")
      << h.events.logText();
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 1u);
  EXPECT_EQ(flashed[0].how, "fld");
  EXPECT_EQ(flashed[0].bytes, image(sample::namedSet(options), "main.ldp"));
  EXPECT_TRUE(sent("%remove%remove,/log/firmware"));
  EXPECT_TRUE(sent("%put%put,/log/firmware:{60,16384}"));  // the wizard's default block off serial
  EXPECT_TRUE(sent("%fld%fld,VR100-0001234,/log/firmware"));
  EXPECT_TRUE(sent("remove,/log/firmware"));  // the stored copy is removed at the end
  EXPECT_NE(h.events.statusText().find("Reconnected!\r\n"), std::string::npos);
}

TEST_F(FileUpload, NumberedImageStreamedOverThePty) {
  startReceiver();
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/numbered/010.ldp"),
            "succeeded")
      << h.events.logText();
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 1u);
  EXPECT_EQ(flashed[0].how, "fld-stream");
  EXPECT_EQ(flashed[0].bytes, image(sample::numberedSet(options), "010.ldp"));
  EXPECT_TRUE(sent("%fld%fld,VR100-0001234,/cur/term:{20,2048}"));
}

TEST_F(FileUpload, FailingStreamHalvesTheBlockThenStoresTheFile) {
  ReceiverConfig config;
  config.faults.streamAlwaysFails = true;
  startReceiver(config);
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/numbered/011.ldp"),
            "succeeded")
      << h.events.logText();
  const std::string log = h.events.logText();
  int attempts = 0;
  for (const std::string& c : receiver->commands()) attempts += c.find("/cur/term:{") != std::string::npos;
  EXPECT_EQ(attempts, 9);  // 2048, 1024, ... 8
  EXPECT_NE(log.find("Change DTP block to 1024\r\n"), std::string::npos);
  EXPECT_NE(log.find("Change DTP block to 4\r\n"), std::string::npos);
  ASSERT_EQ(receiver->flashed().size(), 1u);
  EXPECT_EQ(receiver->flashed()[0].how, "fld");
  EXPECT_TRUE(sent("%put%put,/log/firmware:{20,2048}"));  // the block size is restored
}

TEST_F(FileUpload, DataFileStoredUnderItsNameAndChecked) {
  startReceiver();
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::DataFile, dir.path() + "/data/settings.cfg"),
            "succeeded")
      << h.events.logText();
  const auto files = receiver->files();
  ASSERT_EQ(files.count("/log/settings.cfg"), 1u);
  EXPECT_EQ(files.at("/log/settings.cfg").size(), 3000u);
  EXPECT_TRUE(receiver->flashed().empty());
  EXPECT_FALSE(sent("remove,/log/firmware"));
  EXPECT_NE(h.events.logText().find("settings.cfg loaded.\r\n"), std::string::npos);
}

TEST_F(FileUpload, WrongSizeFailsTheRun) {
  ReceiverConfig config;
  config.faults.sizeShortBy = 1;
  startReceiver(config);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::DataFile, dir.path() + "/data/settings.cfg"),
            "failed");
  EXPECT_NE(h.events.logText().find("Uploaded file has wrong size!\n"), std::string::npos);
}

TEST_F(FileUpload, RefusedPutIsReportedOnce) {
  ReceiverConfig config;
  config.faults.refusePut = true;
  startReceiver(config, true);
  EXPECT_EQ(h.run(tcpEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(h.events.count("failed"), 1);
  const std::string log = h.events.logText();
  EXPECT_NE(log.find("Unable to configure the receiver to accept a file.\r\n"), std::string::npos);
  EXPECT_NE(log.find("The last answer was: '%put%file system error'"), std::string::npos);
  EXPECT_EQ(h.set.count(), 1u);  // the set was not cleared under the run
  EXPECT_TRUE(receiver->flashed().empty());
}

TEST_F(FileUpload, FldRefusedWithABody) {
  ReceiverConfig config;
  config.faults.fldErrorBody = "flash busy";
  startReceiver(config);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_NE(h.events.logText().find("The last reply is: flash busy\r\n"), std::string::npos);
}

TEST_F(FileUpload, AbortDuringTheRebootWaitIsPrompt) {
  startReceiver({}, true);
  ASSERT_TRUE(h.start(tcpEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"));
  for (int i = 0; i < 200 && h.events.statusText().find("Disconnected from the receiver") == std::string::npos; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto before = std::chrono::steady_clock::now();
  h.stop();
  EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(1));
  EXPECT_FALSE(h.events.has("succeeded"));
}

TEST_F(FileUpload, AbortAtRandomMoments) {
  startReceiver();
  unsigned seed = 2026;
  for (int round = 0; round < 6; ++round) {
    EngineHarness run;
    ASSERT_TRUE(run.start(serialEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"));
    seed = seed * 1103515245u + 12345u;
    std::this_thread::sleep_for(std::chrono::milliseconds((seed >> 8) % 4000));
    const auto before = std::chrono::steady_clock::now();
    run.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << "round " << round;
    EXPECT_FALSE(run.events.has("succeeded"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));  // a receiver told to flash restarts
  }
}

// A receiver whose disk is detached gets it attached ("removed" set off) before the upload.
TEST_F(FileUpload, DetachedDiskIsAttachedFirst) {
  ReceiverConfig config;
  config.diskRemoved = true;
  startReceiver(config);
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::FileUpload, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "succeeded")
      << h.events.logText();
  EXPECT_TRUE(sent("%notremoved%set,/par/dev/blk/a/removed,off"));
  ASSERT_EQ(receiver->flashed().size(), 1u);
  EXPECT_EQ(receiver->flashed()[0].bytes, image(sample::namedSet(options), "main.ldp"));
}
