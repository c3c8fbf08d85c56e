#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "LoginPrompt.h"
#include "ReceiverLanguage.h"
#include "SocketLink.h"

namespace {

// A link whose far end the test writes to.
struct Pair {
  Pair() {
    int fds[2];
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
    link.adopt(fds[0]);
    peer = fds[1];
  }
  ~Pair() {
    if (peer >= 0) ::close(peer);
  }
  void send(const std::string& text) { EXPECT_EQ(::write(peer, text.data(), text.size()), static_cast<ssize_t>(text.size())); }
  CMNC::SocketLink link;
  int peer = -1;
};

}  // namespace

// The prompts may come in any pieces, split anywhere, with other text around them.
TEST(LoginPrompt, PromptSplitAcrossReads) {
  Pair p;
  std::string received;
  std::thread host([&p] {
    p.send("\r\nReceiver VR-100\r\nlo");
    std::this_thread::sleep_for(std::chrono::milliseconds(600));  // past the read's interval
    p.send("gin: ");
  });
  EXPECT_TRUE(CMNC::waitForPrompt(p.link, received, "ogin: "));
  host.join();
  p.send("pass");
  p.send("word: ");
  EXPECT_TRUE(CMNC::waitForPrompt(p.link, received, "assword: "));
  EXPECT_TRUE(CMNC::waitForPrompt(p.link, received, "assword: "));  // already there: no read
}

// A host that closes without prompting ends the wait at once.
TEST(LoginPrompt, HostThatClosesWithoutAPrompt) {
  Pair p;
  p.send("Welcome\r\n");
  ::close(p.peer);
  p.peer = -1;
  std::string received;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(CMNC::waitForPrompt(p.link, received, "ogin: "));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(received, "Welcome\r\n");
}

TEST(LoginPrompt, Greeting) {
  EXPECT_TRUE(CMNC::lang::IsLoginGreeting("Logged in on /dev/tcp/a"));
  EXPECT_FALSE(CMNC::lang::IsLoginGreeting("Logged in on /dev/tcp/"));
  EXPECT_FALSE(CMNC::lang::IsLoginGreeting("Logged in on /dev/tcp/ab"));
  EXPECT_FALSE(CMNC::lang::IsLoginGreeting("Login incorrect"));
}
