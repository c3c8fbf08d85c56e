#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "BridgeLatch.h"
#include "FakePort.h"

TEST(CommandChannel, WriteIsCutIntoChunks) {
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  f.channel.setMaxWriteChunk(128);
  std::vector<uint8_t> data(100000, 0xAB);
  EXPECT_EQ(f.channel.Write(data.data(), static_cast<int>(data.size())), 100000);
  const std::vector<int> sizes = f.port->writeSizes();
  ASSERT_EQ(sizes.size(), 782u);
  EXPECT_EQ(sizes.front(), 128);
  EXPECT_EQ(sizes.back(), 32);
}

TEST(CommandChannel, ShortWritesResumeWhereTheyStopped) {
  FakeChannel f;
  f.maxPerWrite = 7;  // the port takes only part of every chunk
  ASSERT_TRUE(f.connect());
  f.channel.setMaxWriteChunk(10);
  std::string text;
  for (int i = 0; i < 50; ++i) text += static_cast<char>('a' + i % 26);
  ASSERT_TRUE(f.channel.SendText(text));
  EXPECT_EQ(f.port->writtenText(), text);  // nothing skipped, nothing repeated
}

TEST(CommandChannel, WriteStopsAtAFailedChunk) {
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  f.port->failWrites = true;
  uint8_t data[10] = {};
  EXPECT_EQ(f.channel.Write(data, 10), 0);
  EXPECT_EQ(f.channel.Write(data, 0), 0);
  EXPECT_FALSE(f.channel.SendText("x"));
}

TEST(CommandChannel, RateChanges) {
  FakeChannel f;
  EXPECT_FALSE(f.channel.SetRate(9600, true));  // disconnected: nothing changes
  EXPECT_EQ(f.channel.currentRate(), 115200);
  EXPECT_EQ(f.channel.previousRate(), 115200);
  ASSERT_TRUE(f.connect());
  const int purges = f.port->purges;
  EXPECT_TRUE(f.channel.SetRate(115200, false));  // same rate: no purge
  EXPECT_EQ(f.port->purges, purges);
  EXPECT_TRUE(f.channel.SetRate(460800, true));  // a non-serial link records the rate
  EXPECT_EQ(f.port->purges, purges + 1);
  EXPECT_EQ(f.channel.currentRate(), 460800);
  EXPECT_EQ(f.channel.previousRate(), 115200);
  EXPECT_TRUE(f.channel.SetRate(9600, false));
  EXPECT_EQ(f.channel.previousRate(), 9600);
}

TEST(CommandChannel, QueryTakesUntaggedTextAsBody) {
  FakeChannel f;
  f.responder = [](const uint8_t*, int, FakePort& p) { p.feed(std::string("hello\0world", 11)); };
  ASSERT_TRUE(f.connect());
  std::string tag, body;
  ASSERT_TRUE(f.channel.Query("print,x\n", tag, body));
  EXPECT_EQ(tag, "");
  EXPECT_EQ(body, "hello");  // cut at the first zero byte
  EXPECT_EQ(f.port->writtenText(), "print,x\n");
}

TEST(CommandChannel, QueryWithoutCommandOnlyReads) {
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  f.port->feed("RE009%remove%\r\n");
  std::string tag, body;
  ASSERT_TRUE(f.channel.Query("", tag, body));
  EXPECT_EQ(tag, "remove");
  EXPECT_TRUE(f.port->written().empty());
  EXPECT_FALSE(f.channel.Query("", tag, body));  // nothing came
}

TEST(CommandChannel, FsInitWaitsUntilCountsAgree) {
  FakeClock clock;
  FakeChannel f(&clock);
  int asked = 0;
  f.responder = [&asked](const uint8_t*, int, FakePort& p) {
    ++asked;
    p.feed(asked < 3 ? "RE00E%fsinit%{1,3}\r\n" : "RE00E%fsinit%{3,3}\r\n");
  };
  ASSERT_TRUE(f.connect());
  EXPECT_FALSE(f.channel.CheckFsInit());
  EXPECT_TRUE(f.channel.WaitFsInit());
  EXPECT_EQ(asked, 3);
}

TEST(CommandChannel, ConnectFailureKeepsThePortsText) {
  CommandChannel channel([](ConnectionKind) {
    auto p = std::make_unique<FakePort>();
    p->failOpen = true;
    return p;
  });
  EXPECT_FALSE(channel.Connect({"x", "", "x", ConnectionKind::Serial}));
  EXPECT_EQ(channel.lastError(), "No such file or directory");
  EXPECT_FALSE(channel.IsConnected());
  CommandChannel plain;
  EXPECT_FALSE(plain.Connect({"x", "", "x", ConnectionKind::None}));
  EXPECT_FALSE(plain.lastError().empty());
}

TEST(CommandChannel, DisconnectedChannelAnswersQuietly) {
  CommandChannel channel;
  uint8_t b[4] = {1, 2, 3, 4};
  // Every form of Read says "not connected" the same way, so no caller mistakes it for silence.
  EXPECT_EQ(channel.Read(b, 4), -1);
  EXPECT_EQ(channel.Read(b, 4, 10), -1);
  EXPECT_EQ(channel.Read(b, 4, 10, 10), -1);
  EXPECT_EQ(b[0], 0);
  EXPECT_EQ(channel.Write(b, 4), -1);
  EXPECT_FALSE(channel.Purge(8));
  EXPECT_FALSE(channel.CheckFsInit());
  EXPECT_EQ(channel.SetBridgeLatch(2, 2), CMNC::kBridgeInvalidHandle);
}

TEST(CommandChannel, LinksWithoutLineRateOrBridge) {
  // A link that has no line rate takes any rate (the receiver's own setting decides); it has no
  // bridge latch to drive.
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  EXPECT_TRUE(f.channel.SetRate(460800, true));
  EXPECT_EQ(f.channel.currentRate(), 460800);
  EXPECT_EQ(f.channel.previousRate(), 115200);
  EXPECT_EQ(f.channel.SetBridgeLatch(2, 2), CMNC::kBridgeRequestFailed);
}

TEST(CommandChannel, PurgeFromAnotherThreadWhileReconnecting) {
  // A stop may purge while the worker thread replaces the port: it must never touch a deleted one.
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  std::atomic<bool> done{false};
  std::thread stopper([&] {
    while (!done) f.channel.Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  });
  for (int i = 0; i < 2000; ++i) {
    f.connect();
    f.channel.Disconnect();
  }
  done = true;
  stopper.join();
}
