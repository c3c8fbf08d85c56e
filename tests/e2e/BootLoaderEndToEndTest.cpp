#include <algorithm>
#include <chrono>
#include <filesystem>
#include <random>

#include "SampleFixture.h"

namespace {

class BootLoaderLoad : public SampleFixture {};

}  // namespace

TEST_F(BootLoaderLoad, NamedSetBySoftBreak) {
  startReceiver();
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, dir.path() + "/named/main.ldp"),
            "succeeded")
      << h.events.logText();
  const auto named = sample::namedSet(options);
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 4u);
  const char* expected[][2] = {{"flash", "boot.ldp"}, {"ram", "powbrd.ldr"}, {"ram", "rfbrd.ldr"}, {"flash", "main.ldp"}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(flashed[i].how, expected[i][0]);
    EXPECT_EQ(flashed[i].bytes, image(named, expected[i][1])) << expected[i][1];
    EXPECT_EQ(flashed[i].capture, static_cast<int>(i) + 1);  // one capture per image
  }
  const std::string log = h.events.logText();
  EXPECT_NE(log.find("Loading Main firmware...\r\n"), std::string::npos);
  EXPECT_NE(log.find("RAM Loader for Main firmware loaded.\r\n"), std::string::npos);
  EXPECT_NE(log.find("Main firmware loaded.\r\n"), std::string::npos);
  EXPECT_NE(h.events.statusText().find("Waiting for the receiver reboot...\r\n"), std::string::npos);
  EXPECT_TRUE(h.events.has("progress:100"));
}

TEST_F(BootLoaderLoad, NumberedSetFromAnArchive) {
  startReceiver();
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ZipArchive, dir.path() + "/numbered.zip",
                  460800),
            "succeeded")
      << h.events.logText();
  const auto numbered = sample::numberedSet(options);
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 4u) << h.events.logText();
  const char* expected[][2] = {{"flash", "010.ldp"}, {"flash", "011.ldp"}, {"ram", "020.ldp"}, {"flash", "030.ldp"}};
  for (std::size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(flashed[i].how, expected[i][0]) << i;
    EXPECT_EQ(flashed[i].bytes, image(numbered, expected[i][1])) << expected[i][1];
  }
  EXPECT_NE(h.events.logText().find("RAM Loader for 011.ldp loaded.\r\n"), std::string::npos);
}

TEST_F(BootLoaderLoad, PowerOnCapture) {
  ReceiverConfig config;
  config.poweredOn = false;
  startReceiver(config);
  ASSERT_TRUE(h.start(serialEntry(), LoadMethod::PowerOnCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"));
  std::this_thread::sleep_for(std::chrono::milliseconds(1500));
  receiver->powerOn();
  EXPECT_EQ(h.events.waitOutcome(), "succeeded") << h.events.logText();
  h.stop();
  ASSERT_EQ(receiver->flashed().size(), 1u);
  EXPECT_EQ(receiver->flashed()[0].bytes, image(sample::namedSet(options), "main.ldp"));
}

// The first boot loader that answers is held against the whole set: a later image it would refuse
// refuses the set at once, so the receiver is never left with part of it (the engine's own check,
// for a run that learned the hardware version only from the boot loader).
TEST_F(BootLoaderLoad, ASetThatFitsOnlyInPartIsRefusedAtTheFirstVersionExchange) {
  ReceiverConfig config;
  config.faults.hardwareVersion = 22;
  startReceiver(config);
  const std::string mixed = dir.path() + "/mixed/";
  std::filesystem::create_directories(mixed);
  std::string error;
  ASSERT_TRUE(sample::writeFile(mixed + "ramimage.ldr", sample::loaderImage("VRLD", 6 * 1024, 3, 22, 1), error));
  ASSERT_TRUE(sample::writeFile(mixed + "boot.ldp", sample::flashImage(16 * 1024, 22, 2), error));
  ASSERT_TRUE(sample::writeFile(mixed + "main.ldp", sample::flashImage(32 * 1024, 20, 3), error));
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, mixed + "main.ldp"), "failed");
  const std::string log = h.events.logText();
  EXPECT_NE(log.find("The firmware does not fit this receiver: Main firmware (" + mixed +
                     "main.ldp) is built for hardware version 20, the receiver's is 22."),
            std::string::npos)
      << log;
  EXPECT_EQ(receiver->captures(), 1);
  EXPECT_TRUE(receiver->flashed().empty());  // not even the boot loader, which would have fitted
  EXPECT_TRUE(eventually([&] { return receiver->refusedDecisions() == 1; }));
}

TEST_F(BootLoaderLoad, ReceiverForOtherHardwareFlashesNothing) {
  ReceiverConfig config;
  config.faults.hardwareVersion = 23;
  startReceiver(config);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_NE(h.events.logText().find("RAM file has wrong hardware version.\r\n"), std::string::npos) << h.events.logText();
  EXPECT_TRUE(receiver->flashed().empty());
  EXPECT_TRUE(eventually([&] { return receiver->refusedDecisions() == 1; }));  // it was told 0x00
}

TEST_F(BootLoaderLoad, MissingRamLoaderStopsBeforeAnythingIsSent) {
  startReceiver();
  std::filesystem::remove(dir.path() + "/named/ramimage.ldr");
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_NE(h.events.logText().find("The file main.ldp requires ramimage.ldr, but it was not found. Please return back "
                                    "and correct the problem."),
            std::string::npos);
  EXPECT_EQ(receiver->captures(), 0);
}

TEST_F(BootLoaderLoad, UnreadableImageFailsTheRunBeforeAnythingIsSent) {
  startReceiver();
  std::filesystem::resize_file(dir.path() + "/named/main.ldp", 0);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_EQ(receiver->captures(), 0);
  EXPECT_FALSE(h.events.has("succeeded"));
}

TEST_F(BootLoaderLoad, RefusedBlocksAndAPulledCable) {
  ReceiverConfig config;
  config.faults.dtpRefuseCode = 0x22;
  startReceiver(config);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_NE(h.events.logText().find("Send file error.\r\n"), std::string::npos);
  EXPECT_TRUE(receiver->flashed().empty());
}

TEST_F(BootLoaderLoad, PulledCable) {
  ReceiverConfig config;
  config.faults.dropLinkAfterFrames = 5;
  startReceiver(config);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_TRUE(receiver->flashed().empty());
}

TEST_F(BootLoaderLoad, AbortAtRandomMoments) {
  startReceiver();
  std::mt19937 random(12345);
  for (int round = 0; round < 8; ++round) {
    EngineHarness run;
    ASSERT_TRUE(run.start(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, dir.path() + "/named/main.ldp"));
    std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2500));
    const auto before = std::chrono::steady_clock::now();
    run.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2)) << "round " << round;
    EXPECT_FALSE(run.events.has("succeeded"));
    EXPECT_FALSE(run.session.channel().IsConnected());
  }
}

// Asked to stop after the image it writes (its fleet went away), a load flashes that image whole,
// begins no other, and ends failed naming the image it wrote last.
TEST_F(BootLoaderLoad, AStopAfterTheImageEndsTheLoadBetweenImages) {
  startReceiver();
  ASSERT_TRUE(h.start(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, dir.path() + "/named/main.ldp"));
  h.session.stopAfterImage();
  EXPECT_EQ(h.events.waitOutcome(), "failed") << h.events.logText();
  h.stop();
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 1u) << h.events.logText();
  EXPECT_EQ(flashed[0].bytes, image(sample::namedSet(options), "boot.ldp")) << "the image being written is whole";
  EXPECT_NE(h.events.logText().find("Stopped as asked once Boot Loader was written"), std::string::npos)
      << h.events.logText();
}

// A numbered type 3 image without its utility loader runs from RAM instead of being flashed.
TEST_F(BootLoaderLoad, TypeThreeImageWithoutItsUtilityLoaderRunsFromRam) {
  startReceiver();
  const std::string alone = dir.path() + "/alone";
  std::filesystem::create_directory(alone);
  std::filesystem::copy_file(dir.path() + "/numbered/030.ldp", alone + "/030.ldp");
  ASSERT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::Folder, alone + "/030.ldp"), "succeeded")
      << h.events.logText();
  const auto flashed = receiver->flashed();
  ASSERT_EQ(flashed.size(), 1u);
  EXPECT_EQ(flashed[0].how, "ram");
  EXPECT_EQ(flashed[0].bytes, image(sample::numberedSet(options), "030.ldp"));
  // The reboot wait comes last and its progress ends at 100.
  const auto events = h.events.events();
  const auto wait = std::find(events.begin(), events.end(), "status:Waiting for the receiver reboot...\r\n");
  ASSERT_NE(wait, events.end());
  const auto lastProgress = std::find_if(events.rbegin(), events.rend(), [](const std::string& e) {
    return e.rfind("progress:", 0) == 0;
  });
  EXPECT_EQ(*lastProgress, "progress:100");
  EXPECT_GT(lastProgress.base() - 1, wait);
}

// A boot loader that never answers the capture: the capture gives up after its 45 s and nothing
// is written.
TEST_F(BootLoaderLoad, SilentBootLoader) {
  ReceiverConfig config;
  config.faults.silentBootLoader = true;
  startReceiver(config);
  EXPECT_EQ(h.run(serialEntry(), LoadMethod::SoftBreakCapture, SourceKind::ImageFile, dir.path() + "/named/main.ldp"),
            "failed");
  EXPECT_NE(h.events.logText().find("Boot connection error.\r\n"), std::string::npos) << h.events.logText();
  EXPECT_TRUE(receiver->flashed().empty());
}
