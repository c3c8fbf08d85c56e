#include <gtest/gtest.h>

#include <deque>
#include <memory>

#include "CDtpSender.h"
#include "Crc16.h"
#include "DtpBytes.h"
#include "DtpReceiver.h"
#include "FakePort.h"

using CMNC::CDtpSender;
namespace dtp = CMNC::dtp;

namespace {

constexpr int kBlock = 16;

// A link whose receiving side answers frames from a script, after a NAK for the handshake.
struct ScriptedLink {
  explicit ScriptedLink(std::deque<std::vector<uint8_t>> script) : replies(std::move(script)), f(&clock) {
    f.responder = [this](const uint8_t* data, int size, FakePort& p) {
      frames.emplace_back(data, data + size);
      if (!replies.empty()) {
        p.feed(replies.front());
        replies.pop_front();
      }
    };
    EXPECT_TRUE(f.connect());
    f.port->whenEmpty = [this](FakePort& p) {
      if (!readyNakSent) p.feed(std::vector<uint8_t>{dtp::kNak});
      readyNakSent = true;
    };
  }
  std::deque<std::vector<uint8_t>> replies;
  std::vector<std::vector<uint8_t>> frames;
  bool readyNakSent = false;
  FakeClock clock;
  FakeChannel f;
};

// A link whose receiving side is the virtual receiver's DTP receiver.
struct CheckedLink {
  CheckedLink() : f(&clock) {
    f.responder = [this](const uint8_t* data, int size, FakePort&) { receiver->feed(data, static_cast<std::size_t>(size), 0); };
    EXPECT_TRUE(f.connect());
    receiver = std::make_unique<DtpReceiver>(kBlock, DtpReceiver::Faults{}, [this](const uint8_t* d, std::size_t n) {
      f.port->feed(std::vector<uint8_t>(d, d + n));
    });
    f.port->whenEmpty = [this](FakePort&) { receiver->tick(tick += 1000); };
  }
  FakeClock clock;
  FakeChannel f;
  std::unique_ptr<DtpReceiver> receiver;
  int64_t tick = 0;
};

std::vector<uint8_t> pattern(std::size_t n) {
  std::vector<uint8_t> v(n);
  for (std::size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + 3);
  return v;
}

}  // namespace

TEST(DtpSender, TransfersBytesTheReceiverChecks) {
  for (std::size_t size : {0u, 1u, 15u, 16u, 17u, 100u}) {
    CheckedLink link;
    CDtpSender sender(&link.f.channel, kBlock, link.clock);
    ASSERT_EQ(sender.state(), CDtpSender::State::Wait);
    const std::vector<uint8_t> data = pattern(size);
    EXPECT_EQ(sender.Write(data.data(), static_cast<int>(data.size())), static_cast<int>(size));
    EXPECT_TRUE(sender.Finish());
    EXPECT_EQ(link.receiver->status(), DtpReceiver::Status::Done) << size;
    EXPECT_EQ(link.receiver->bytes(), data) << size;
  }
}

TEST(DtpSender, ExactlyOneBlockEndsWithAnEmptyLastBlock) {
  ScriptedLink link({{dtp::kAck}, {dtp::kAck}});
  CDtpSender sender(&link.f.channel, kBlock, link.clock);
  const std::vector<uint8_t> data = pattern(kBlock);
  sender.Write(data.data(), kBlock);
  ASSERT_TRUE(sender.Finish());
  ASSERT_EQ(link.frames.size(), 2u);
  const auto& first = link.frames[0];
  const auto& last = link.frames[1];
  ASSERT_EQ(first.size(), static_cast<std::size_t>(kBlock + 6));
  EXPECT_EQ(first[0], dtp::kDataBlock);
  EXPECT_EQ(first[1], 0);
  EXPECT_EQ(first[2], 0);
  EXPECT_EQ(first.back(), dtp::kFrameEnd);
  EXPECT_EQ(last[0], dtp::kLastBlock);
  EXPECT_EQ(last[1], 0);
  EXPECT_TRUE(std::all_of(last.begin() + 3, last.begin() + 3 + kBlock, [](uint8_t b) { return b == 0; }));
  // The last block's CRC continues from the first block's.
  const uint16_t crc1 = static_cast<uint16_t>(first[3 + kBlock] | (first[4 + kBlock] << 8));
  const uint16_t crc2 = static_cast<uint16_t>(last[3 + kBlock] | (last[4 + kBlock] << 8));
  EXPECT_EQ(crc1, CDtpSender::FrameCrc(0, dtp::kDataBlock, 0, data.data(), kBlock));
  const std::vector<uint8_t> zeros(kBlock, 0);
  EXPECT_EQ(crc2, CDtpSender::FrameCrc(crc1, dtp::kLastBlock, 0, zeros.data(), kBlock));
  EXPECT_NE(crc2, CDtpSender::FrameCrc(0, dtp::kLastBlock, 0, zeros.data(), kBlock));
}

TEST(DtpSender, ResendsOnNakAndGivesUpAfterThree) {
  {
    ScriptedLink link({{dtp::kNak}, {dtp::kNak}, {dtp::kAck}, {dtp::kAck}});
    CDtpSender sender(&link.f.channel, kBlock, link.clock);
    const std::vector<uint8_t> data = pattern(kBlock);
    EXPECT_EQ(sender.Write(data.data(), kBlock), kBlock);
    EXPECT_EQ(link.frames.size(), 3u);
    EXPECT_EQ(link.frames[0], link.frames[2]);
  }
  {
    ScriptedLink link({{dtp::kNak}, {dtp::kNak}, {dtp::kNak}});
    CDtpSender sender(&link.f.channel, kBlock, link.clock);
    const std::vector<uint8_t> data = pattern(kBlock + 5);
    EXPECT_EQ(sender.Write(data.data(), static_cast<int>(data.size())), 0);
    EXPECT_EQ(sender.state(), CDtpSender::State::Timeout);
    EXPECT_EQ(sender.GetStateName(), "TIMEOUT");
    EXPECT_EQ(sender.Write(data.data(), 1), -1);
  }
}

TEST(DtpSender, JudgesAReplyByItsLastByte) {
  // ACK followed by a line feed in one read is not an ACK; the sender waits until its time runs out.
  ScriptedLink link({{dtp::kAck, '\n'}});
  CDtpSender sender(&link.f.channel, kBlock, link.clock);
  const std::vector<uint8_t> data = pattern(kBlock);
  EXPECT_EQ(sender.Write(data.data(), kBlock), 0);
}

TEST(DtpSender, EndCodeCountsOnlyForTheLastBlock) {
  ScriptedLink link({{dtp::kEndAck}, {dtp::kEndAck}});
  CDtpSender sender(&link.f.channel, kBlock, link.clock);
  // After the lone 0x1E the receiver sends its ACK a little later.
  bool acked = false;
  link.f.port->whenEmpty = [&link, &acked](FakePort& p) {
    if (link.frames.size() == 1 && !acked) p.feed(std::vector<uint8_t>{dtp::kAck});
    acked = acked || link.frames.size() == 1;
  };
  const std::vector<uint8_t> data = pattern(kBlock);
  EXPECT_EQ(sender.Write(data.data(), kBlock), kBlock);  // 0x1E ignored, then ACK
  EXPECT_FALSE(sender.endAcknowledged());
  EXPECT_TRUE(sender.Finish());
  EXPECT_TRUE(sender.endAcknowledged());
}

TEST(DtpSender, RefusalAndSilence) {
  {
    ScriptedLink link({std::vector<uint8_t>{0x21}});
    CDtpSender sender(&link.f.channel, kBlock, link.clock);
    const std::vector<uint8_t> data = pattern(kBlock);
    EXPECT_EQ(sender.Write(data.data(), kBlock), 0);
    EXPECT_EQ(sender.state(), CDtpSender::State::Timeout);
  }
  {
    FakeClock clock;
    FakeChannel f(&clock);
    ASSERT_TRUE(f.connect());
    CDtpSender sender(&f.channel, kBlock, clock);  // nobody answers the handshake
    EXPECT_EQ(sender.state(), CDtpSender::State::Timeout);
    uint8_t b = 0;
    EXPECT_EQ(sender.Write(&b, 1), -1);
  }
  {
    ScriptedLink link(std::deque<std::vector<uint8_t>>{});
    link.f.port->whenEmpty = [](FakePort& p) { p.feed(std::vector<uint8_t>{0x2A}); };
    CDtpSender sender(&link.f.channel, kBlock, link.clock);
    EXPECT_EQ(sender.GetStateName(), "ABORTED");
    EXPECT_FALSE(sender.Finish());
  }
}

TEST(DtpSender, AbortFrameIsOneByte) {
  ScriptedLink link(std::deque<std::vector<uint8_t>>{});
  CDtpSender sender(&link.f.channel, kBlock, link.clock);
  EXPECT_TRUE(sender.SendFrame(dtp::kAbortFrame, 7, 9));
  ASSERT_EQ(link.frames.size(), 1u);
  EXPECT_EQ(link.frames[0], std::vector<uint8_t>{0x23});
}

// The virtual receiver checks frames with the sender's own CRC function, so the checksum and the
// frame layout are pinned here against values worked out independently of that code.
TEST(DtpSender, CrcKnownAnswersAndGoldenFrames) {
  const uint8_t check[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(CMNC::Crc16Update(0, check, sizeof check), 0x31C3);  // the usual check value of this CRC
  EXPECT_EQ(CMNC::Crc16Update(0xFFFF, check, sizeof check), 0x29B1);
  const uint8_t abcd[] = {'A', 'B', 'C', 'D'};
  EXPECT_EQ(CDtpSender::FrameCrc(0x1234, dtp::kDataBlock, 300, abcd, 4), 0xB1D6);  // number low byte first

  ScriptedLink link({{dtp::kAck}, {dtp::kAck}});
  CDtpSender sender(&link.f.channel, 4, link.clock);
  const uint8_t data[] = {'A', 'B', 'C', 'D', 'E', 'F'};
  EXPECT_EQ(sender.Write(data, 6), 6);
  EXPECT_TRUE(sender.Finish());
  ASSERT_EQ(link.frames.size(), 2u);
  EXPECT_EQ(link.frames[0], (std::vector<uint8_t>{0x02, 0x00, 0x00, 'A', 'B', 'C', 'D', 0xD9, 0x5B, 0x03}));
  // The last block: two valid bytes, zero padding, its CRC chained from the first block's.
  EXPECT_EQ(link.frames[1], (std::vector<uint8_t>{0x04, 0x02, 0x00, 'E', 'F', 0x00, 0x00, 0xBC, 0x7A, 0x03}));
}

TEST(DtpSender, BlockNumbersPast255And65535) {
  constexpr int kBlocks = 65536 + 2;
  std::deque<std::vector<uint8_t>> acks(kBlocks + 1, std::vector<uint8_t>{dtp::kAck});
  ScriptedLink link(std::move(acks));
  CDtpSender sender(&link.f.channel, 1, link.clock);
  const std::vector<uint8_t> data = pattern(kBlocks);
  ASSERT_EQ(sender.Write(data.data(), kBlocks), kBlocks);
  ASSERT_TRUE(sender.Finish());
  ASSERT_EQ(link.frames.size(), static_cast<std::size_t>(kBlocks) + 1);
  auto number = [&](std::size_t i) { return link.frames[i][1] | (link.frames[i][2] << 8); };
  EXPECT_EQ(number(255), 255);
  EXPECT_EQ(number(256), 256);  // the high byte carries
  EXPECT_EQ(number(65535), 65535);
  EXPECT_EQ(number(65536), 0);  // the 16-bit counter wraps
  EXPECT_EQ(number(65537), 1);
  // The chain goes on across the wrap: each frame's CRC starts from the previous one's.
  for (std::size_t i : {256u, 65536u, 65537u}) {
    const auto& prev = link.frames[i - 1];
    const uint16_t previous = static_cast<uint16_t>(prev[4] | (prev[5] << 8));
    const auto& f = link.frames[i];
    EXPECT_EQ(f[4] | (f[5] << 8), CDtpSender::FrameCrc(previous, f[0], static_cast<uint16_t>(number(i)), &f[3], 1)) << i;
  }
}

namespace {

// A serial line whose receiving side answers each frame with the bursts of a script: the bursts
// of one answer come 10 ms apart, so a reply read that ends right after its byte takes one burst
// and the classic 50 ms gap takes them all.
struct SerialLine {
  explicit SerialLine(std::deque<std::vector<std::vector<uint8_t>>> script) : answers(std::move(script)), f(&clock) {
    f.responder = [this](const uint8_t* data, int size, FakePort& p) {
      frames.emplace_back(data, data + size);
      if (answers.empty()) return;
      for (const auto& burst : answers.front()) p.feed(burst);
      answers.pop_front();
    };
    EXPECT_TRUE(f.connect());
    f.port->serialLike = true;
    f.port->whenEmpty = [this](FakePort& p) {
      if (!readyNakSent) p.feed(std::vector<uint8_t>{dtp::kNak});
      readyNakSent = true;
    };
  }
  std::deque<std::vector<std::vector<uint8_t>>> answers;
  std::vector<std::vector<uint8_t>> frames;
  bool readyNakSent = false;
  FakeClock clock;
  FakeChannel f;
};

class DtpReplyGap : public ::testing::TestWithParam<int> {};

}  // namespace

// Whatever the receiver answers, the verdict is the same whether a reply is judged right after
// its byte or after the classic 50 ms of quiet line.
TEST_P(DtpReplyGap, SameVerdictsAsTheClassicTiming) {
  using Answer = std::vector<std::vector<uint8_t>>;
  const std::vector<uint8_t> ack{dtp::kAck}, nak{dtp::kNak};
  struct Case {
    const char* what;
    std::deque<Answer> script;
    int taken;          // what Write returns for one block
    std::size_t frames; // frames written
  };
  const std::vector<Case> cases = {
      {"ACK", {{ack}}, kBlock, 1},
      {"NAK then ACK on the resend", {{nak}, {ack}}, kBlock, 2},
      {"two bytes at once, the last an ACK", {{{dtp::kNak, dtp::kAck}}}, kBlock, 1},
      {"noise, then the ACK in a second read", {{{'x', 'y'}, ack}}, kBlock, 1},
      {"ACK with a line feed behind it", {{{dtp::kAck, '\n'}}}, 0, 1},
      {"refusal code", {{{0x25}}}, 0, 1},
      {"three NAKs", {{nak}, {nak}, {nak}}, 0, 3},
  };
  for (const Case& c : cases) {
    SerialLine line(c.script);
    CDtpSender sender(&line.f.channel, kBlock, line.clock, GetParam());
    const std::vector<uint8_t> data = pattern(kBlock);
    EXPECT_EQ(sender.Write(data.data(), kBlock), c.taken) << c.what;
    EXPECT_EQ(line.frames.size(), c.frames) << c.what;
    ASSERT_FALSE(line.f.port->replyGaps.empty());
    EXPECT_EQ(line.f.port->replyGaps.back(), GetParam() < 0 ? -1 : GetParam() * 1000) << c.what;
  }
}

// A receiver that repeats its ACK: the second one must not pass for the answer to the next frame,
// which the receiver refused with a NAK; the sender sends that frame again.
TEST_P(DtpReplyGap, StaleInputCannotPassForTheNextReply) {
  const std::vector<uint8_t> ack{dtp::kAck}, nak{dtp::kNak};
  SerialLine line({{ack, ack}, {nak}, {ack}, {ack}});
  CDtpSender sender(&line.f.channel, kBlock, line.clock, GetParam());
  const std::vector<uint8_t> data = pattern(2 * kBlock);
  EXPECT_EQ(sender.Write(data.data(), 2 * kBlock), 2 * kBlock);
  ASSERT_EQ(line.frames.size(), 3u);
  EXPECT_EQ(line.frames[1], line.frames[2]);
  EXPECT_TRUE(sender.Finish());
}

// A late answer within the reply time counts; none within it fails the block, and an ACK that
// comes after that cannot turn the failure into a success.
TEST_P(DtpReplyGap, LateAnswersAndTimeOuts) {
  {
    SerialLine line({});
    CDtpSender sender(&line.f.channel, kBlock, line.clock, GetParam());
    const int64_t sentAt = line.clock.nowMs();
    line.f.port->whenEmpty = [&](FakePort& p) {
      if (line.clock.nowMs() - sentAt >= 3000) p.feed(std::vector<uint8_t>{dtp::kAck});
    };
    const std::vector<uint8_t> data = pattern(kBlock);
    EXPECT_EQ(sender.Write(data.data(), kBlock), kBlock);
  }
  {
    SerialLine line({});
    CDtpSender sender(&line.f.channel, kBlock, line.clock, GetParam());
    const std::vector<uint8_t> data = pattern(kBlock);
    EXPECT_EQ(sender.Write(data.data(), kBlock), 0);
    EXPECT_EQ(sender.state(), CDtpSender::State::Timeout);
    line.f.port->feed(std::vector<uint8_t>{dtp::kAck});
    EXPECT_EQ(sender.Write(data.data(), kBlock), -1);
  }
}

// Damaged frames and NAKs against the receiver's own checks: the bytes arrive whole.
TEST_P(DtpReplyGap, DamagedFramesAreSentAgain) {
  FakeClock clock;
  FakeChannel f(&clock);
  std::unique_ptr<DtpReceiver> receiver;
  f.responder = [&](const uint8_t* data, int size, FakePort&) { receiver->feed(data, static_cast<std::size_t>(size), 0); };
  ASSERT_TRUE(f.connect());
  f.port->serialLike = true;
  DtpReceiver::Faults faults;
  faults.corruptFrames = 1;  // the first frame is damaged, then refused once: sent three times
  faults.nakFrames = 1;
  receiver = std::make_unique<DtpReceiver>(kBlock, faults, [&](const uint8_t* d, std::size_t n) {
    f.port->feed(std::vector<uint8_t>(d, d + n));
  });
  int64_t tick = 0;
  f.port->whenEmpty = [&](FakePort&) { receiver->tick(tick += 1000); };
  CDtpSender sender(&f.channel, kBlock, clock, GetParam());
  const std::vector<uint8_t> data = pattern(5 * kBlock + 3);
  EXPECT_EQ(sender.Write(data.data(), static_cast<int>(data.size())), static_cast<int>(data.size()));
  EXPECT_TRUE(sender.Finish());
  EXPECT_EQ(receiver->status(), DtpReceiver::Status::Done);
  EXPECT_EQ(receiver->bytes(), data);
}

INSTANTIATE_TEST_SUITE_P(LineAndClassic, DtpReplyGap, ::testing::Values(CDtpSender::kLineReplyGap, 50),
                         [](const ::testing::TestParamInfo<int>& info) {
                           return info.param < 0 ? std::string("LineGap") : "Gap" + std::to_string(info.param) + "ms";
                         });
