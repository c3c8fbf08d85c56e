#include <gtest/gtest.h>

#include "DataFileUpload.h"
#include "DirectUpload.h"
#include "FakePort.h"
#include "ReceiverLanguage.h"

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
