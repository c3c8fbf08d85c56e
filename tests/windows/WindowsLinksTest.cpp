// The Windows sides of the links and the settings under Wine: Winsock connects, reads, peer
// closes and stops; the registry's stored devices; links that have no device here failing with
// their texts; the port list; the console's control events as stop signals.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <vector>
#include <string>
#include <thread>

#include "CBluetoothPort.h"
#include "CTcpipPort.h"
#include "CUsbPort.h"
#include "DeviceStore.h"
#include "InterruptWatch.h"
#include "PortEnumeration.h"

namespace {

using Clock = std::chrono::steady_clock;

long long msSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Winsock : ::testing::Environment {
  void SetUp() override {
    WSADATA data{};
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
  }
  void TearDown() override { ::WSACleanup(); }
};
const auto* const kWinsock = ::testing::AddGlobalTestEnvironment(new Winsock);

// A receiver's telnet side on 127.0.0.1: prompts for the login and the password, then runs
// whatever the test wants on the accepted socket.
class LoopbackReceiver {
 public:
  LoopbackReceiver() {
    listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 1);
    int length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  ~LoopbackReceiver() {
    if (thread_.joinable()) thread_.join();
    ::closesocket(listener_);
  }
  LoopbackReceiver(const LoopbackReceiver&) = delete;
  LoopbackReceiver& operator=(const LoopbackReceiver&) = delete;

  std::string address() const { return "127.0.0.1:" + std::to_string(port_) + ":secret"; }

  template <typename Then>
  void serve(Then then) {
    thread_ = std::thread([this, then] {
      const SOCKET s = ::accept(listener_, nullptr, nullptr);
      if (s == INVALID_SOCKET) return;
      send(s, "login: ");
      char line[64];
      ::recv(s, line, sizeof line, 0);  // the empty user name
      send(s, "password: ");
      then(s);
      ::closesocket(s);
    });
  }
  static void send(SOCKET s, const std::string& text) { ::send(s, text.data(), static_cast<int>(text.size()), 0); }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::thread thread_;
};

}  // namespace

TEST(WinsockLink, ConnectsReadsAndSeesThePeerClose) {
  LoopbackReceiver receiver;
  receiver.serve([](SOCKET s) {
    char password[64];
    ::recv(s, password, sizeof password, 0);
    LoopbackReceiver::send(s, "RE002%%\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  });
  CMNC::CTcpipPort port;
  ASSERT_TRUE(port.Open(receiver.address())) << port.GetErrorText();
  const std::string password = "secret\n";
  EXPECT_EQ(port.Write(reinterpret_cast<const uint8_t*>(password.data()), static_cast<int>(password.size()), -1), 7);
  uint8_t buffer[64];
  const int n = port.Read(buffer, sizeof buffer, 2000, 50);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), n > 0 ? static_cast<std::size_t>(n) : 0), "RE002%%\r\n");
  // The receiver hangs up: the link reads as closed, not as silent.
  const auto start = Clock::now();
  while (port.IsOpen() && msSince(start) < 3000) port.Read(buffer, sizeof buffer, 200, 0);
  EXPECT_FALSE(port.IsOpen());
}

TEST(WinsockLink, RefusedConnectSaysWhy) {
  CMNC::CTcpipPort port;
  EXPECT_FALSE(port.Open("127.0.0.1:1:x"));
  EXPECT_NE(port.GetErrorText().find("127.0.0.1:1"), std::string::npos) << port.GetErrorText();
  EXPECT_FALSE(port.Open("no-such-host.invalid:5000:x"));
  EXPECT_NE(port.GetErrorText().find("Cannot find the host no-such-host.invalid"), std::string::npos) << port.GetErrorText();
}

TEST(WinsockLink, AStopEndsABlockedReadAtOnce) {
  LoopbackReceiver receiver;
  receiver.serve([](SOCKET s) {
    char rest[64];
    ::recv(s, rest, sizeof rest, 0);  // silent until the link goes
  });
  CMNC::CTcpipPort port;
  ASSERT_TRUE(port.Open(receiver.address())) << port.GetErrorText();
  std::thread stopper([&port] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    port.Purge(CMNC::kPurgeTxAbort | CMNC::kPurgeRxAbort);
  });
  uint8_t buffer[16];
  const auto start = Clock::now();
  EXPECT_EQ(port.Read(buffer, sizeof buffer, 8000, -1), -1);
  stopper.join();
  EXPECT_LT(msSince(start), 500);
  EXPECT_FALSE(port.Open(receiver.address()));  // a stopped port stays stopped
  port.Close();
}

TEST(WindowsSettings, StoredDevicesRoundTripThroughTheRegistry) {
  const std::vector<PortEntry> hosts = {{"Base", "Base", "10.0.0.5:8002:pw", ConnectionKind::Tcpip},
                                        {"Müller", "Müller", "rover.example:23:", ConnectionKind::Tcpip}};
  devicestore::saveHosts(hosts);
  const auto loaded = devicestore::loadHosts();
  ASSERT_EQ(loaded.size(), 2u);
  EXPECT_EQ(loaded[0].address, "10.0.0.5:8002:pw");
  EXPECT_EQ(loaded[1].description, "Müller");  // names keep their non-ASCII letters
  const std::vector<PortEntry> devices = {{"R1", "R1", "(00:11:22:33:44:55)", ConnectionKind::Bluetooth},
                                          {"broken", "broken", "not an address", ConnectionKind::Bluetooth}};
  devicestore::saveBluetooth(devices);
  const auto paired = devicestore::loadBluetooth(true);
  ASSERT_EQ(paired.size(), 1u);  // an entry nothing could connect to is left out
  EXPECT_EQ(paired[0].address, "(00:11:22:33:44:55)");
  EXPECT_TRUE(devicestore::loadBluetooth(false).empty());
  devicestore::saveHosts({});
  EXPECT_TRUE(devicestore::loadHosts().empty());
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Telmora\\Vestrel\\bluetooth", 0, KEY_READ, &key), ERROR_SUCCESS);
  DWORD count = 0, size = sizeof count;
  EXPECT_EQ(::RegQueryValueExW(key, L"count", nullptr, nullptr, reinterpret_cast<BYTE*>(&count), &size), ERROR_SUCCESS);
  EXPECT_EQ(count, 2u);
  ::RegCloseKey(key);
  devicestore::saveBluetooth({});
}

TEST(WindowsLinks, LinksWithoutTheirDeviceFailWithTheirTexts) {
  CMNC::CUsbPort usb;
  EXPECT_FALSE(usb.Open("\\\\?\\usb#vid_1209&pid_0001#none#{00000000-0000-0000-0000-000000000000}"));
  const std::string text = usb.GetErrorText();  // the step that failed, or no WinUSB at all
  EXPECT_TRUE(text == "USB is not available on this computer." || text.find(" (write channel)") != std::string::npos)
      << text;
  EXPECT_FALSE(usb.Open("3-1"));
  EXPECT_FALSE(usb.GetErrorText().empty());
  CMNC::CBluetoothPort bluetooth;
  EXPECT_FALSE(bluetooth.Open("nonsense"));
  EXPECT_NE(bluetooth.GetErrorText().find("Not a Bluetooth device address"), std::string::npos);
  EXPECT_FALSE(bluetooth.Open("(00:11:22:33:44:55)"));  // no radio here
  EXPECT_FALSE(bluetooth.GetErrorText().empty());
}

TEST(WindowsLinks, PortListHasTheComPorts) {
  const char* com = std::getenv("VESTREL_TEST_COM");
  if (!com) GTEST_SKIP() << "VESTREL_TEST_COM is not set";
  bool found = false;
  for (const PortEntry& entry : CMNC::ListSerialPorts()) {
    EXPECT_EQ(entry.kind, ConnectionKind::Serial);
    EXPECT_EQ(entry.name.rfind("COM", 0), 0u) << entry.name;
    if (entry.name == com) {
      found = true;
      EXPECT_EQ(entry.address, "\\\\.\\" + std::string(com));  // the device name Open receives
    }
  }
  EXPECT_TRUE(found) << com << " is not listed";
}

TEST(WindowsInterrupt, CtrlCIsTheFirstStopSignalThenTheSecond) {
  // Under Wine a console needs a terminal: scripts/build-windows runs the tests on one.
  if (!::GetConsoleWindow()) ::AllocConsole();  // fails when the process has a console already
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> calls;
  const auto record = [&](const char* which) {
    return [&, which](int signal) {
      std::lock_guard<std::mutex> lock(mutex);
      calls.push_back(std::string(which) + " " + std::to_string(signal));
      changed.notify_all();
    };
  };
  const InterruptWatch watch(record("first"), record("again"));
  const auto waitFor = [&](std::size_t n) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(5), [&] { return calls.size() >= n; });
  };
  if (!::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0)) GTEST_SKIP() << "no console to send Ctrl-C to";
  ASSERT_TRUE(waitFor(1));
  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  ASSERT_TRUE(waitFor(2));
  EXPECT_EQ(calls, (std::vector<std::string>{"first 2", "again 2"}));  // 128 + 2 = 130, as for SIGINT
}
