#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>

#include "CAbstractReceiverPort.h"
#include "LinkKinds.h"
#include "TempDir.h"

namespace {

CMNC::PortText parsed(const std::string& text) {
  CMNC::PortText port;
  std::string error;
  EXPECT_TRUE(CMNC::ParsePortText(text, port, error)) << text << ": " << error;
  return port;
}

std::string refusal(const std::string& text) {
  CMNC::PortText port;
  std::string error;
  EXPECT_FALSE(CMNC::ParsePortText(text, port, error)) << text;
  return error;
}

std::vector<std::string> keysOf(const std::string& text) {
  std::vector<std::string> keys;
  std::string error;
  EXPECT_TRUE(CMNC::IdentityOf(CMNC::EntryOf(parsed(text), ""), keys, error)) << error;
  return keys;
}

}  // namespace

TEST(LinkKinds, EachRowParsesFormatsAndMasksItsForm) {
  struct Case {
    const char* text;
    ConnectionKind kind;
    const char* canonical;
    const char* address;
  };
  for (const Case& c : {
           Case{"tcp:10.0.0.7:8000:pw", ConnectionKind::Tcpip, "tcp:10.0.0.7:8000", "10.0.0.7:8000:pw"},
           Case{"TCP:base.example:8000", ConnectionKind::Tcpip, "tcp:base.example:8000", "base.example:8000:"},
           Case{"Tcp:[::1]:4001:a:b", ConnectionKind::Tcpip, "tcp:[::1]:4001", "[::1]:4001:a:b"},
           Case{"usb:1-2.3", ConnectionKind::Usb, "usb:1-2.3", "1-2.3"},
           Case{"USB:3-1", ConnectionKind::Usb, "usb:3-1", "3-1"},
           Case{"bt:(00:11:22:aa:BB:cc)", ConnectionKind::Bluetooth, "bt:(00:11:22:AA:BB:CC)", "(00:11:22:AA:BB:CC)"},
           Case{"Bt:00:11:22:33:44:55", ConnectionKind::Bluetooth, "bt:(00:11:22:33:44:55)", "(00:11:22:33:44:55)"},
           Case{"com3", ConnectionKind::Serial, "COM3", "COM3"},
           Case{"/dev/ttyUSB0", ConnectionKind::Serial, "/dev/ttyUSB0", "/dev/ttyUSB0"},
           Case{"ttyACM0", ConnectionKind::Serial, "ttyACM0", "ttyACM0"},
       }) {
    const CMNC::PortText port = parsed(c.text);
    EXPECT_EQ(port.kind, c.kind) << c.text;
    EXPECT_EQ(port.text, c.canonical) << c.text;
    EXPECT_EQ(port.address, c.address) << c.text;
    EXPECT_EQ(CMNC::KindOfPortText(c.text), c.kind) << c.text;
    EXPECT_EQ(CMNC::ShownPortText(c.text), c.canonical) << c.text;
    // Round trip: the entry's text parses to itself.
    const PortEntry entry = CMNC::EntryOf(port, "");
    EXPECT_EQ(CMNC::PortTextOf(entry), c.canonical) << c.text;
    EXPECT_EQ(parsed(CMNC::PortTextOf(entry)).address.substr(0, port.address.size() - port.password.size()),
              port.address.substr(0, port.address.size() - port.password.size()));
    // The row makes its own kind of port.
    EXPECT_NE(CMNC::LinkKindOf(c.kind).makePort(), nullptr);
  }
  EXPECT_EQ(parsed("tcp:[::1]:4001:a:b").password, "a:b");
  // A COM port as the Windows port list has it is shown, and passed to /port, by its name.
  EXPECT_EQ(CMNC::PortTextOf(PortEntry{"COM12", "", "\\\\.\\COM12", ConnectionKind::Serial}), "COM12");
  CMNC::PortText withStored = parsed("tcp:[fe80::1]:4001");
  CMNC::SetPassword(withStored, "s3cret");
  EXPECT_EQ(withStored.address, "[fe80::1]:4001:s3cret");
  EXPECT_EQ(withStored.text, "tcp:[fe80::1]:4001");
}

TEST(LinkKinds, BadFormsAreRefusedWithTheFormExpectedAndNeverShowAPassword) {
  EXPECT_NE(refusal("tcp:host").find("expected tcp:HOST:PORT"), std::string::npos);
  EXPECT_NE(refusal("tcp:host:0:pw").find("from 1 to 65535"), std::string::npos);
  EXPECT_NE(refusal("tcp:host:70000").find("from 1 to 65535"), std::string::npos);
  EXPECT_NE(refusal("tcp:[::1:4001:pw").find("in brackets"), std::string::npos);
  EXPECT_NE(refusal("tcp::4001").find("expected tcp:HOST:PORT"), std::string::npos);
  EXPECT_EQ(refusal("tcp:host:x:secret").find("secret"), std::string::npos);
  EXPECT_NE(refusal("usb:banana").find("expected usb:BUS-PORT"), std::string::npos);
  EXPECT_NE(refusal("bt:(00:11)").find("expected bt:(XX:XX:XX:XX:XX:XX)"), std::string::npos);
  EXPECT_NE(refusal("").find("The port is empty"), std::string::npos);
  // Shown, a malformed TCP/IP text keeps its host at most.
  EXPECT_EQ(CMNC::ShownPortText("TCP:h:x:secret"), "tcp:h");
  EXPECT_EQ(CMNC::ShownPortText("tcp:h:1:secret:x"), "tcp:h:1");
}

TEST(LinkKinds, OneReceiverHowEverItIsWritten) {
  EXPECT_TRUE(CMNC::SameReceiver(keysOf("tcp:localhost:4001"), keysOf("TCP:127.0.0.1:4001:pw")));
  EXPECT_FALSE(CMNC::SameReceiver(keysOf("tcp:127.0.0.1:4001"), keysOf("tcp:127.0.0.1:4002")));
  EXPECT_TRUE(CMNC::SameReceiver(keysOf("tcp:[::1]:4001"), keysOf("tcp:[0::1]:4001")));
  EXPECT_TRUE(CMNC::SameReceiver(keysOf("usb:1-2"), keysOf("USB:1-2")));
  EXPECT_TRUE(CMNC::SameReceiver(keysOf("bt:(00:11:22:33:44:55)"), keysOf("bt:00:11:22:33:44:55")));
  EXPECT_TRUE(CMNC::SameReceiver(keysOf("null"), keysOf("/dev/null")));
  EXPECT_FALSE(CMNC::SameReceiver(keysOf("/dev/null"), keysOf("/dev/zero")));

  TempDir dir;
  const std::string link = dir.path() + "/by-id", node = dir.path() + "/second-node";
  ASSERT_EQ(::symlink("/dev/null", link.c_str()), 0);
  EXPECT_TRUE(CMNC::SameReceiver(keysOf(link), keysOf("/dev/null")));
  struct stat null {};
  ASSERT_EQ(::stat("/dev/null", &null), 0);
  if (::mknod(node.c_str(), S_IFCHR | 0600, null.st_rdev) == 0) {  // a second node needs the right to make one
    EXPECT_TRUE(CMNC::SameReceiver(keysOf(node), keysOf("/dev/null")));
  }

  std::vector<std::string> keys;
  std::string error;
  EXPECT_FALSE(CMNC::IdentityOf(CMNC::EntryOf(parsed("tcp:no-such-host.invalid:1"), ""), keys, error));
  EXPECT_EQ(error.rfind("Cannot find the host no-such-host.invalid", 0), 0u) << error;
}

TEST(LinkKinds, PasswordsAreBlankedInTheArgumentMemory) {
  std::string a0 = "vestrel", a1 = "/port", a2 = "TCP:10.0.0.7:8000:secret", a3 = "--port=tcp:[::1]:4001:pw:x",
              a4 = "tcp:h:1", a5 = "/source";
  std::vector<char*> argv{a0.data(), a1.data(), a2.data(), a3.data(), a4.data(), a5.data()};
  EXPECT_TRUE(CMNC::HidePortPasswords(static_cast<int>(argv.size()), argv.data()));
  EXPECT_STREQ(argv[2], "TCP:10.0.0.7:8000");
  EXPECT_EQ(std::memchr(a2.data(), 's', a2.size()), nullptr);  // the bytes themselves are gone
  EXPECT_STREQ(argv[3], "--port=tcp:[::1]:4001");
  EXPECT_STREQ(argv[4], "tcp:h:1");
  EXPECT_FALSE(CMNC::HidePortPasswords(2, argv.data()));
}

TEST(LinkKinds, PolicyComesFromTheRow) {
  EXPECT_EQ(CMNC::LinkKindOf(ConnectionKind::Serial).policy.uploadBlockSize, 2048);
  EXPECT_TRUE(CMNC::LinkKindOf(ConnectionKind::Tcpip).policy.slowPut);
  EXPECT_TRUE(CMNC::LinkKindOf(ConnectionKind::Bluetooth).policy.slowPut);
  EXPECT_FALSE(CMNC::LinkKindOf(ConnectionKind::Usb).policy.slowPut);
  EXPECT_TRUE(CMNC::LinkKindOf(ConnectionKind::Serial).policy.bootLoader);
  for (const CMNC::LinkKind& k : CMNC::LinkKinds()) EXPECT_EQ(k.stored, k.enumerate == nullptr) << k.name;
}
