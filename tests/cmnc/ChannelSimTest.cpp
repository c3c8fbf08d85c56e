#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "SimFixture.h"

using ChannelSim = SimFixture;

TEST_F(ChannelSim, IdentityQueries) {
  startReceiver();
  CommandChannel channel;
  ASSERT_TRUE(channel.Connect(serialEntry())) << channel.lastError();
  std::string tag, body;
  ASSERT_TRUE(channel.Query("%Receiver model%print,/par/rcv/model\n", tag, body));
  EXPECT_EQ(tag, "Receiver model");
  EXPECT_EQ(body, "VR-100");
  ASSERT_TRUE(channel.Query("%Current port%print,/cur/term\n", tag, body));
  EXPECT_EQ(body, "/dev/ser/a");
  ASSERT_TRUE(channel.Query("%x%print,/no/such\n", tag, body));
  EXPECT_EQ(tag, "x");
  EXPECT_EQ(body, "unknown parameter");
  EXPECT_TRUE(channel.CheckFsInit());
}

TEST_F(ChannelSim, RateSwitchIsHonouredOnlyAtTheMatchingSpeed) {
  ReceiverConfig config;
  config.rate = 57600;
  startReceiver(config);
  CommandChannel channel;
  ASSERT_TRUE(channel.Connect(serialEntry()));
  std::string tag, body;
  EXPECT_FALSE(channel.Query("%a%print,/par/rcv/model\n", tag, body));  // 115200: garbage to it
  ASSERT_TRUE(channel.SetRate(57600, false));
  ASSERT_TRUE(channel.Query("%a%print,/par/rcv/model\n", tag, body));
  ASSERT_TRUE(channel.SendText("set,/par/cur/term/rate,230400\n"));
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_EQ(receiver->rate(), 230400);
  ASSERT_TRUE(channel.SetRate(230400, true));
  EXPECT_EQ(channel.previousRate(), 57600);
  ASSERT_TRUE(channel.Query("%b%print,/par/cur/term/rate\n", tag, body));
  EXPECT_EQ(body, "230400");
}

TEST_F(ChannelSim, TcpLogin) {
  startReceiver({}, true);
  CommandChannel channel;
  ASSERT_TRUE(channel.Connect(tcpEntry())) << channel.lastError();
  std::string tag, body;
  ASSERT_TRUE(channel.Query("%Current port%print,/cur/term\n", tag, body));
  EXPECT_EQ(body, "/dev/tcp/a");
  channel.Disconnect();

  EXPECT_FALSE(channel.Connect(tcpEntry("wrong")));
  EXPECT_NE(channel.lastError().find("Unable to login."), std::string::npos) << channel.lastError();
  const std::string refused = channel.lastError();
  EXPECT_NE(refused.find(" Wrong password? ********"), std::string::npos) << refused;
  EXPECT_EQ(refused.find("wrong"), std::string::npos);  // the password itself never shows
  EXPECT_FALSE(channel.Connect(tcpEntry("a-much-longer-wrong-password")));
  EXPECT_EQ(channel.lastError(), refused);  // nor its length
}

TEST_F(ChannelSim, TcpAddressProblems) {
  CommandChannel channel;
  EXPECT_FALSE(channel.Connect({"TCP", "", "127.0.0.1:notaport:x", ConnectionKind::Tcpip}));
  EXPECT_FALSE(channel.Connect({"TCP", "", "127.0.0.1:1:x", ConnectionKind::Tcpip}));  // refused
  EXPECT_FALSE(channel.lastError().empty());
  EXPECT_FALSE(channel.Connect({"TCP", "", "no-such-host.invalid:5000:x", ConnectionKind::Tcpip}));
  EXPECT_NE(channel.lastError().find("no-such-host.invalid"), std::string::npos);
}

namespace {

constexpr uint32_t kStop = CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort;

// Stops a connection at many moments (before, during and after the port's Open) on a real link:
// whatever moment the stop lands at, the channel stays stopped until the next run.
void stopAtRandomMoments(const PortEntry& entry, int rounds) {
  CommandChannel channel;
  unsigned seed = 11;
  for (int round = 0; round < rounds; ++round) {
    channel.ResetAbort();
    seed = seed * 1103515245u + 12345u;
    const auto delay = std::chrono::microseconds((seed >> 8) % 3000);
    std::thread stopper([&] {
      std::this_thread::sleep_for(delay);
      channel.Purge(kStop);
    });
    channel.Connect(entry);
    stopper.join();
    uint8_t byte = 0;
    EXPECT_EQ(channel.Read(&byte, 1, 10), -1) << "round " << round << ": the stop was lost";
    EXPECT_FALSE(channel.Connect(entry)) << "round " << round;
    channel.Disconnect();
  }
  channel.ResetAbort();
  EXPECT_TRUE(channel.Connect(entry)) << channel.lastError();  // and the next run connects
}

}  // namespace

TEST_F(ChannelSim, StopDuringAConnectionOnSerialAndTcp) {
  startReceiver({}, true);
  stopAtRandomMoments(serialEntry(), 100);
  stopAtRandomMoments(tcpEntry(), 60);
}

// A host that accepts the connection but never prompts holds a connection for up to a minute of
// prompt reads: a stop ends it at once.
TEST_F(ChannelSim, StopWhileAHostNeverPrompts) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 1), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
  const std::string where = "127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + ":pw";
  CommandChannel channel;
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    channel.Purge(kStop);
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(channel.Connect({"TCP", "mute host", where, ConnectionKind::Tcpip}));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1200));
  stopper.join();
  ::close(listener);
}
