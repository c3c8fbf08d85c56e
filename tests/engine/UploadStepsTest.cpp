#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>

#include "DataFileUpload.h"
#include "DirectUpload.h"
#include "DtpReceiver.h"
#include "FakePort.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"
#include "RecordingEvents.h"
#include "RunProgress.h"

TEST(UploadSteps, ReceiverFileNames) {
  EXPECT_EQ(receiverFileName("/logs/base (1).txt", false), "base..1..txt");
  EXPECT_EQ(receiverFileName("C:\\logs\\base (1).txt", false), "base..1..txt");
  EXPECT_EQ(receiverFileName("/d/cfg.bin", true), ".cfg.bin");
  const std::string forty(40, 'n');
  EXPECT_EQ(receiverFileName("/d/" + forty, false), std::string(30, 'n'));
  EXPECT_EQ(receiverFileName("/d/" + forty, true), "." + std::string(30, 'n'));
  EXPECT_EQ(receiverFileName("/d/a,b{c}@d&e\"f", false), "a.b.c..d.e.f");
  // Control bytes and non-ASCII characters never reach the command line as they are.
  EXPECT_EQ(receiverFileName("/d/evil\nremove,x", false), "evil.remove.x");
  EXPECT_EQ(receiverFileName("/d/caf\xC3\xA9.txt", false), "caf..txt");
  EXPECT_EQ(receiverFileName("/d/\xFF\xFE", false), "..");
}

TEST(UploadSteps, CommandTexts) {
  EXPECT_EQ(CMNC::lang::putCommand("firmware", 20, 2048), "%put%put,/log/firmware:{20,2048}\n");
  EXPECT_EQ(CMNC::lang::storedFlashCommand("ID7"), "%fld%fld,ID7,/log/firmware\n");
  EXPECT_EQ(CMNC::lang::streamFlashCommand("ID7", 60, 512), "%fld%fld,ID7,/cur/term:{60,512}\n");
}

TEST(UploadSteps, SynchronisationNeedsTheCounterAsTag) {
  FakeChannel f;
  f.responder = [](const uint8_t* d, int n, FakePort& p) {
    const std::string line(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
    const std::string counter = line.substr(1, line.find('%', 1) - 1);
    p.feed("RE004%" + counter + "%\r\n");
  };
  ASSERT_TRUE(f.connect());
  EXPECT_TRUE(syncChannel(f.channel));
  EXPECT_TRUE(syncChannel(f.channel));
  f.port->responder = [](const uint8_t*, int, FakePort& p) { p.feed("RE004%%\r\n"); };
  EXPECT_FALSE(syncChannel(f.channel));  // an empty tag is not the counter
  f.port->responder = [](const uint8_t*, int, FakePort& p) { p.feed("garbage\r\n"); };
  EXPECT_FALSE(syncChannel(f.channel));
}

namespace {

// A receiver that answers the streamed "fld" commands and takes the image by DTP; time moves
// only when the engine waits.
struct StreamingReceiver {
  StreamingReceiver()
      : f(&clock), worker(f.channel, set, RunSettings{LoadMethod::FileUpload, SourceKind::ImageFile}, {}, events, clock) {
    f.responder = [this](const uint8_t* d, int n, FakePort& p) { answer(d, n, p); };
  }
  void answer(const uint8_t* d, int n, FakePort& p) {
    if (rx) {
      rx->feed(d, static_cast<std::size_t>(n), clock.nowMs());
      return;
    }
    const std::string line(reinterpret_cast<const char*>(d), static_cast<std::size_t>(n));
    const std::string tag = line.substr(1, line.find('%', 1) - 1);
    if (tag == CMNC::lang::kIdentityTag) p.feed("RE010%" + tag + "%ID7\r\n");
    else p.feed("RE004%" + tag + "%\r\n");
    if (tag == CMNC::lang::kFldTag) {
      rx = std::make_unique<DtpReceiver>(worker.settings.blockSize, DtpReceiver::Faults{},
                                         [&p](const uint8_t* b, std::size_t size) { p.feed(std::vector<uint8_t>(b, b + size)); });
      p.whenEmpty = [this](FakePort&) { rx->tick(clock.nowMs()); };
    }
  }
  FakeClock clock;
  FakeChannel f;
  FirmwareImageSet set;
  RecordingEvents events;
  LoadWorker worker;
  std::unique_ptr<DtpReceiver> rx;
};

}  // namespace

// A streamed image the receiver flashed is not stored again when the receiver stays away after
// its restart: the run fails and says what happened.
TEST(UploadSteps, StreamedFlashWithoutTheReceiverComingBack) {
  StreamingReceiver r;
  ASSERT_TRUE(r.f.connect());
  r.f.whenCreated = [&r] { r.f.port->failOpen = true; };  // every reconnection fails
  std::vector<uint8_t> data(3000, 0x5A);
  FirmwareImage image = FirmwareImage::fromBytes("010.ldp", data, SourceKind::ImageFile);
  RunState rs;
  EXPECT_EQ(streamFlash(r.worker, rs, image), StreamOutcome::FlashedNotBack);
  ASSERT_TRUE(r.rx);
  EXPECT_EQ(r.rx->bytes(), data);
  EXPECT_FALSE(rs.ok);
  EXPECT_EQ(rs.errorText, image.title + " was flashed, but the receiver did not come back: No such file or directory");
  EXPECT_NE(r.events.statusText().find("Trying to reconnect...\r\n"), std::string::npos);

  // When it does come back the image counts as flashed.
  StreamingReceiver ok;
  ASSERT_TRUE(ok.f.connect());
  RunState fine;
  EXPECT_EQ(streamFlash(ok.worker, fine, image), StreamOutcome::Flashed);
  EXPECT_TRUE(fine.ok);
  EXPECT_NE(ok.events.statusText().find("Reconnected!\r\n"), std::string::npos);
  // The restart is said first, then the link is emptied and dropped, then the progress starts.
  const auto events = ok.events.events();
  const auto said = std::find(events.begin(), events.end(), "status:Disconnected from the receiver. Waiting...\r\n");
  ASSERT_NE(said, events.end());
  EXPECT_EQ(*(said + 1), "progress:2");
}

// The whole load's bytes across its transfers and the time left at the rate so far, on a clock
// the test gives: a RAM loader and a main image, the loader sent again counts again.
TEST(RunProgress, BytesAcrossTransfersAndTimeLeft) {
  RunProgress run;
  run.plan(3000, 0);
  EXPECT_FALSE(run.secondsLeft(0));
  run.transferred(500, 1000, 1000);  // the RAM loader
  run.transferred(1000, 1000, 1500);
  run.transferred(250, 2000, 2000);  // the main image
  EXPECT_EQ(run.runBytes(), 1250u);
  EXPECT_EQ(run.runTotal(), 3000u);
  EXPECT_FALSE(run.secondsLeft(2500));  // not sending long enough to judge the rate
  run.transferred(1000, 2000, 4000);  // 2000 bytes in 3 s
  ASSERT_TRUE(run.secondsLeft(4000));
  EXPECT_EQ(*run.secondsLeft(4000), 2);  // 1000 bytes left at 2000 bytes in 3 s: 1.5 s, rounded
  run.transferred(100, 2000, 4100);  // the image sent again: the run never goes past its plan
  run.transferred(2000, 2000, 6000);
  EXPECT_EQ(run.runBytes(), 3000u);
  EXPECT_EQ(*run.secondsLeft(6000), 0);
  EXPECT_EQ(RunProgress::leftText(std::nullopt), "");
  EXPECT_EQ(RunProgress::leftText(40), "about 40 s left");
  EXPECT_EQ(RunProgress::leftText(200), "about 3 min left");
}
