#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

#include "CSerialPort.h"
#include "VirtualReceiver.h"

using namespace std::chrono;
using CMNC::CSerialPort;

namespace {

// A pseudo-terminal pair: the port under test opens the slave, the test plays the device.
class PtyPair {
 public:
  PtyPair() {
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~PtyPair() {
    ::close(master);
    ::close(slave);
  }
  void send(const std::string& s) const { [[maybe_unused]] auto n = ::write(master, s.data(), s.size()); }
  int master = -1, slave = -1;
  std::string path;
};

int64_t elapsedMs(steady_clock::time_point start) {
  return duration_cast<milliseconds>(steady_clock::now() - start).count();
}

}  // namespace

TEST(SerialPort, DevicePathsAndAliases) {
  EXPECT_EQ(CSerialPort::ResolveDevicePath("COM1"), "/dev/ttyS0");
  EXPECT_EQ(CSerialPort::ResolveDevicePath("com3"), "/dev/ttyS2");
  EXPECT_EQ(CSerialPort::ResolveDevicePath("ttyUSB0"), "/dev/ttyUSB0");
  EXPECT_EQ(CSerialPort::ResolveDevicePath("/dev/pts/7"), "/dev/pts/7");
  EXPECT_EQ(CSerialPort::ResolveDevicePath("COMX"), "/dev/COMX");
}

TEST(SerialPort, CharacterTime) {
  EXPECT_EQ(CSerialPort::CharacterTimeFor(115200), 6);
  EXPECT_EQ(CSerialPort::CharacterTimeFor(9600), 68);
  EXPECT_EQ(CSerialPort::CharacterTimeFor(460800), 4);
}

TEST(SerialPort, ClosedPortAnswers) {
  CSerialPort port;
  uint8_t b[4];
  EXPECT_EQ(port.Read(b, 4, 10, 10), -1);
  EXPECT_EQ(port.Write(b, 4, 10), -1);
  EXPECT_TRUE(port.Purge(15));
  EXPECT_FALSE(port.SetSpeed(9600));
  EXPECT_EQ(port.CharacterTimeMs(), 50);
}

TEST(SerialPort, MissingAndBusyPortsFailWithAText) {
  CSerialPort port;
  EXPECT_FALSE(port.Open("/dev/vestrel-no-such-port"));
  EXPECT_NE(port.GetErrorText().find("No such file"), std::string::npos);
  PtyPair pty;
  CSerialPort first, second;
  ASSERT_TRUE(first.Open(pty.path));
  EXPECT_FALSE(second.Open(pty.path));
  EXPECT_NE(second.GetErrorText().find("in use"), std::string::npos);
}

TEST(SerialPort, SpeedReachesTheLine) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  EXPECT_TRUE(port.SetSpeed(9600));
  EXPECT_EQ(port.CharacterTimeMs(), 68);
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.slave, &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), B9600);
  EXPECT_FALSE(port.SetSpeed(12345));  // refused, the port stays open
  EXPECT_TRUE(port.IsOpen());
}

TEST(SerialPort, ReadTiming) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  uint8_t buffer[64];

  auto start = steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 8, 0, -1), 0);  // a poll returns at once
  EXPECT_LT(elapsedMs(start), 1000);

  pty.send("abc");
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(port.Read(buffer, 8, 0, -1), 3);  // a poll takes what is buffered

  start = steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 8, 300, -1), 0);  // total time-out with nothing
  EXPECT_GE(elapsedMs(start), 250);
  EXPECT_LT(elapsedMs(start), 1500);

  // Bytes that stop coming end the read after the gap, long before the total time-out.
  std::thread device([&] {
    pty.send("12");
    std::this_thread::sleep_for(milliseconds(2000));
    pty.send("34");
  });
  start = steady_clock::now();
  EXPECT_EQ(port.Read(buffer, 8, 5000, 10), 2);
  EXPECT_LT(elapsedMs(start), 1900);  // the next bytes come at 2 s; a busy machine may take a while
  device.join();
}

TEST(SerialPort, ReplyReadEndsRightAfterTheReply) {
  EXPECT_EQ(CSerialPort::ReplyGapMicrosFor(115200), 261);  // three characters of ten bits
  EXPECT_EQ(CSerialPort::ReplyGapMicrosFor(921600), 33);
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  uint8_t buffer[32];
  // The line's gap: the reply's byte alone, the bytes that come 30 ms later stay queued.
  std::thread device([&] {
    pty.send("\x06");
    std::this_thread::sleep_for(milliseconds(30));
    pty.send("\x15\x15");
  });
  EXPECT_EQ(port.ReadReply(buffer, sizeof buffer, 2000, -1), 1);
  EXPECT_EQ(buffer[0], 0x06);
  device.join();
  EXPECT_EQ(port.ReadReply(buffer, sizeof buffer, 2000, -1), 2);
  // The classic 50 ms gap gathers both pieces, as the ordinary read does.
  device = std::thread([&] {
    pty.send("\x15");
    std::this_thread::sleep_for(milliseconds(10));
    pty.send("\x06");
  });
  EXPECT_EQ(port.ReadReply(buffer, sizeof buffer, 2000, 50000), 2);
  EXPECT_EQ(buffer[1], 0x06);
  device.join();
  // The first byte may take the whole time-out; nothing at all gives 0 after it.
  const auto start = steady_clock::now();
  EXPECT_EQ(port.ReadReply(buffer, sizeof buffer, 200, -1), 0);
  EXPECT_GE(elapsedMs(start), 150);
  port.Purge(CMNC::kPurgeRxAbort);
  EXPECT_EQ(port.ReadReply(buffer, sizeof buffer, 200, -1), -1);
}

TEST(SerialPort, AbortPurgeEndsABlockedReadAtOnce) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(100));
    port.Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  });
  uint8_t buffer[16];
  const auto start = steady_clock::now();
  EXPECT_EQ(port.Read(buffer, sizeof buffer, 10000, -1), -1);
  EXPECT_LT(elapsedMs(start), 2000);
  stopper.join();
  EXPECT_EQ(port.Write(buffer, 4, -1), -1);  // aborted for good: a reopen can't lose a stop
  port.Close();
  CSerialPort next;  // the channel's next connection makes a new port
  ASSERT_TRUE(next.Open(pty.path));
  EXPECT_EQ(next.Write(buffer, 4, -1), 4);
}

// A line nobody reads fills, and a write waits for room: a stop must end it all the same. A
// receiver that is switched off drains its line as a cable does, so writes to it never wait.
TEST(SerialPort, AbortEndsAWriteToAFullLineAndAnOffReceiverDrainsIt) {
  PtyPair held;
  CSerialPort port;
  ASSERT_TRUE(port.Open(held.path));
  const std::vector<uint8_t> flood(1 << 20, 0x55);
  std::thread stopper([&] {
    std::this_thread::sleep_for(milliseconds(200));
    port.Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  });
  const auto start = steady_clock::now();
  EXPECT_EQ(port.Write(flood.data(), static_cast<int>(flood.size()), -1), -1);
  EXPECT_LT(elapsedMs(start), 5000);  // only a hang fails: its own time-out is hours
  stopper.join();

  ReceiverConfig off;
  off.poweredOn = false;
  VirtualReceiver receiver(off);
  std::string error;
  ASSERT_TRUE(receiver.startPty(error)) << error;
  receiver.run();
  CSerialPort line;
  ASSERT_TRUE(line.Open(receiver.ptyPath()));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(line.Write(flood.data(), 128 * 1024, 5000), 128 * 1024) << i;
  receiver.stop();
}

TEST(SerialPort, DrainWaitsForTheLineTime) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  ASSERT_TRUE(port.SetSpeed(115200));
  const std::vector<uint8_t> data(1152, 0x55);  // 100 ms at 115200 bit/s
  const auto start = steady_clock::now();
  ASSERT_EQ(port.Write(data.data(), static_cast<int>(data.size()), -1), 1152);
  EXPECT_TRUE(port.Drain(5000));
  EXPECT_GE(elapsedMs(start), 95);
  EXPECT_LT(elapsedMs(start), 1000);
}

TEST(SerialPort, WriteReachesTheDevice) {
  PtyPair pty;
  CSerialPort port;
  ASSERT_TRUE(port.Open(pty.path));
  const uint8_t data[] = {'%', 'x', '%', '\n'};
  EXPECT_EQ(port.Write(data, 4, -1), 4);
  EXPECT_TRUE(port.Drain(1000));
  char got[8] = {};
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(::read(pty.master, got, sizeof got), 4);
  EXPECT_EQ(std::string(got, 4), "%x%\n");
}
