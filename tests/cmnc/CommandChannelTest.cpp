#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

namespace {
using Ms = std::chrono::milliseconds;
int64_t elapsedMs(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration_cast<Ms>(std::chrono::steady_clock::now() - since).count();
}
constexpr uint32_t kAbort = CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort;
}  // namespace

// A stop that lands at any point of a (re)connection ends it at once and is never lost: before
// the port is reachable, while it opens (a slow link that only an abort ends), and just after.
TEST(CommandChannel, StopDuringAConnectionIsNeverLost) {
  {
    FakeChannel f;
    bool opened = false;
    f.whenCreated = [&] { f.channel.Purge(kAbort); };  // the stop comes before Open is called
    f.whileOpening = [&](FakePort&) { opened = true; };
    EXPECT_FALSE(f.connect());
    EXPECT_FALSE(opened);
    EXPECT_EQ(f.channel.lastError(), "Aborted.");
  }
  {
    FakeChannel f;
    std::atomic<bool> opening{false};
    f.whileOpening = [&](FakePort& p) {  // like a TCP connect: up to 5 s unless aborted
      opening = true;
      const auto start = std::chrono::steady_clock::now();
      while (!p.aborted() && elapsedMs(start) < 5000) std::this_thread::sleep_for(Ms(1));
    };
    std::thread stopper([&] {
      while (!opening) std::this_thread::sleep_for(Ms(1));
      f.channel.Purge(kAbort);
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(f.connect());
    EXPECT_LT(elapsedMs(start), 1000);
    stopper.join();
  }
  {
    FakeChannel f;
    f.whileOpening = [&](FakePort&) { f.channel.Purge(kAbort); };  // Open succeeds, the stop came meanwhile
    EXPECT_FALSE(f.connect());
    EXPECT_FALSE(f.channel.IsConnected());
    EXPECT_FALSE(f.connect());  // still stopped ...
    f.channel.ResetAbort();
    f.whileOpening = nullptr;
    EXPECT_TRUE(f.connect());  // ... until the next run
  }
}

// Emptying a chatty link's queue on the worker thread does not hold up a stop from another one.
TEST(CommandChannel, StopDoesNotWaitForADrain) {
  FakeChannel f;
  ASSERT_TRUE(f.connect());
  std::atomic<bool> draining{false};
  f.port->whilePurging = [&](FakePort& p) {
    draining = true;
    const auto start = std::chrono::steady_clock::now();
    while (!p.aborted() && elapsedMs(start) < 2000) std::this_thread::sleep_for(Ms(1));
  };
  std::thread worker([&] { f.channel.Purge(CMNC::kPurgeRxClear); });
  while (!draining) std::this_thread::sleep_for(Ms(1));
  const auto start = std::chrono::steady_clock::now();
  f.channel.Purge(kAbort);
  EXPECT_LT(elapsedMs(start), 1000);  // not the drain's 2 s (its latency is the benchmarks')
  worker.join();
  uint8_t b[4];
  EXPECT_EQ(f.channel.Read(b, 4, 10), -1);  // and the aborted link fails every call after
}
