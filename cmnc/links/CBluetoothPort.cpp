#include "CBluetoothPort.h"

#include <memory>
#include <mutex>
#include <utility>

#include "AbortableCall.h"
#include "SocketApi.h"
#include "LinkTiming.h"

namespace CMNC {
namespace {

// The one Bluetooth connection of the process.
std::mutex g_connectionMutex;
CBluetoothPort* g_connected = nullptr;

}  // namespace

CBluetoothPort::~CBluetoothPort() { Close(); }

bool CBluetoothPort::Open(const std::string& address) {
  Close();
  if (link_.aborted()) return false;  // a stopped port stays stopped
  remote_.Set("", ParseDeviceAddress(address), 0);
  if (remote_.address == 0) {
    SetErrorText("Not a Bluetooth device address: " + address + " (expected (XX:XX:XX:XX:XX:XX)).");
    return false;
  }
  {
    std::lock_guard<std::mutex> lock(g_connectionMutex);
    if (g_connected && g_connected != this) g_connected->link_.close();  // a new connection ends the old one
    g_connected = nullptr;
  }
  const int fd = ConnectAbortably();
  if (fd < 0) return false;
  link_.adopt(fd);
  std::lock_guard<std::mutex> lock(g_connectionMutex);
  g_connected = this;
  return true;
}

int CBluetoothPort::ConnectAbortably() {
  // The service search and the connect cannot be interrupted: they run on a helper thread, and a
  // socket connected after the wait was given up is closed there.
  struct Attempt {
    Attempt() = default;
    Attempt(const Attempt&) = delete;
    Attempt& operator=(const Attempt&) = delete;
    ~Attempt() {
      if (fd >= 0) socketapi::closeSocket(fd);
    }
    int fd = -1;
    int error = 0;
  };
  auto attempt = std::make_shared<Attempt>();
  const CBTRemoteDevice remote = remote_;
  const auto outcome = AbortableCall::run(link_.abortSignal(), timing::kBluetoothConnectMs, [attempt, remote, connect = connector_] {
    attempt->fd = connect(remote, attempt->error);
  });
  if (outcome == AbortableCall::Outcome::Aborted) {
    SetErrorText("Aborted.");
    return -1;
  }
  if (outcome == AbortableCall::Outcome::Timeout) {
    SetErrorText("The device " + remote_.addressText + " did not answer within " +
                 std::to_string(timing::kBluetoothConnectMs / 1000) + " s (out of range or switched off?).");
    return -1;
  }
  if (attempt->fd < 0) {
    SetErrorText(attempt->error == CBTRemoteDevice::kNoSerialPortService
                     ? "The device " + remote_.addressText + " offers no serial-port service."
                     : socketapi::errorText(attempt->error) + " (" + remote_.addressText + ")");
    return -1;
  }
  return std::exchange(attempt->fd, -1);
}

void CBluetoothPort::Close() {
  std::lock_guard<std::mutex> lock(g_connectionMutex);
  if (g_connected == this) g_connected = nullptr;
  link_.close();
}

int CBluetoothPort::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  return link_.read(buffer, size, timeoutMs, intervalMs);
}

int CBluetoothPort::Write(const uint8_t* data, int size, int /*timeoutMs*/) {
  std::string error;
  const int n = link_.write(data, size, error);
  if (!error.empty()) SetErrorText(error);
  return n;
}

}  // namespace CMNC
