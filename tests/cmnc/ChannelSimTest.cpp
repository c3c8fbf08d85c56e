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
  EXPECT_NE(channel.lastError().find(" Wrong password? *****"), std::string::npos);
  EXPECT_EQ(channel.lastError().find("wrong"), std::string::npos);  // the password itself never shows
}

TEST_F(ChannelSim, TcpAddressProblems) {
  CommandChannel channel;
  EXPECT_FALSE(channel.Connect({"TCP", "", "127.0.0.1:notaport:x", ConnectionKind::Tcpip}));
  EXPECT_FALSE(channel.Connect({"TCP", "", "127.0.0.1:1:x", ConnectionKind::Tcpip}));  // refused
  EXPECT_FALSE(channel.lastError().empty());
  EXPECT_FALSE(channel.Connect({"TCP", "", "no-such-host.invalid:5000:x", ConnectionKind::Tcpip}));
  EXPECT_NE(channel.lastError().find("no-such-host.invalid"), std::string::npos);
}
