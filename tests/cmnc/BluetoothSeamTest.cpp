#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "CBluetoothPort.h"

using namespace CMNC;

namespace {

constexpr char kDevice[] = "(00:1A:7D:DA:71:13)";

// The receiver's end of a stand-in RFCOMM stream: the port gets the other end from its connector.
struct StandInStream {
  int receiver = -1;
  int port = -1;
  StandInStream() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) == 0) receiver = ends[0], port = ends[1];
  }
  ~StandInStream() {
    if (receiver >= 0) ::close(receiver);
  }
  std::string receive(std::size_t size) {
    std::string text(size, '\0');
    std::size_t got = 0;
    while (got < size) {
      const ssize_t n = ::read(receiver, text.data() + got, size - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
    }
    return text.substr(0, got);
  }
};

}  // namespace

// Bytes both ways over the stream the service search found, then the peer goes: the port closes.
TEST(BluetoothSeam, CarriesBytesBothWaysUntilThePeerCloses) {
  StandInStream stream;
  CBluetoothPort port;
  std::string searched;
  port.setConnector([&](const CBTRemoteDevice& remote, int&) {
    searched = remote.addressText;
    return stream.port;
  });
  ASSERT_TRUE(port.Open(kDevice)) << port.GetErrorText();
  EXPECT_EQ(searched, kDevice);
  const std::string command = "%m%print,/par/rcv/model\r\n";
  EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(command.data()), static_cast<int>(command.size()), 1000),
            static_cast<int>(command.size()));
  EXPECT_EQ(stream.receive(command.size()), command);
  const std::string reply = "RE00A%m%VR-100\r\n";
  ASSERT_EQ(::write(stream.receiver, reply.data(), reply.size()), static_cast<ssize_t>(reply.size()));
  uint8_t buffer[64] = {};
  EXPECT_EQ(port.Read(buffer, static_cast<int>(reply.size()), 1000, 50), static_cast<int>(reply.size()));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), reply.size()), reply);

  ::close(stream.receiver);
  stream.receiver = -1;
  EXPECT_LE(port.Read(buffer, 4, 1000, 50), 0);
  EXPECT_FALSE(port.IsOpen()) << "a link the receiver closed is closed";
  EXPECT_EQ(port.Read(buffer, 4, 100, 0), -1);
}

// What the service search found, or the connect's refusal, is said with the device's address.
TEST(BluetoothSeam, NoSerialPortServiceAndARefusedConnectSayWhichDevice) {
  CBluetoothPort port;
  port.setConnector([](const CBTRemoteDevice&, int& error) {
    error = CBTRemoteDevice::kNoSerialPortService;
    return -1;
  });
  EXPECT_FALSE(port.Open(kDevice));
  EXPECT_EQ(port.GetErrorText(), std::string("The device ") + kDevice + " offers no serial-port service.");
  port.setConnector([](const CBTRemoteDevice&, int& error) {
    error = ECONNREFUSED;
    return -1;
  });
  EXPECT_FALSE(port.Open(kDevice));
  EXPECT_NE(port.GetErrorText().find(kDevice), std::string::npos) << port.GetErrorText();
  EXPECT_FALSE(port.IsOpen());
}

// A stop while the service search runs ends Open at once; the search is left to end on its own, and
// the stopped port stays stopped.
TEST(BluetoothSeam, AStopEndsAServiceSearchAtOnce) {
  auto release = std::make_shared<std::atomic<bool>>(false);  // the search outlives the test's frame
  CBluetoothPort port;
  port.setConnector([release](const CBTRemoteDevice&, int& error) {
    for (int i = 0; i < 500 && !*release; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    error = ETIMEDOUT;
    return -1;
  });
  std::thread stopper([&port] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    port.Purge(kPurgeTxAbort | kPurgeRxAbort);
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_FALSE(port.Open(kDevice));
  const auto took = std::chrono::steady_clock::now() - started;
  stopper.join();
  *release = true;
  EXPECT_LT(took, std::chrono::milliseconds(1000));
  EXPECT_EQ(port.GetErrorText(), "Aborted.");
  EXPECT_FALSE(port.Open(kDevice)) << "a stopped port stays stopped";
}
