#include "CBluetoothPort.h"

#include <cerrno>
#include <mutex>

#include "SystemError.h"

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
  const int fd = remote_.Connect();
  if (fd < 0) {
    const int err = errno;
    SetErrorText(err == ENOENT ? "The device " + remote_.addressText + " offers no serial-port service."
                               : SystemMessage(err) + " (" + remote_.addressText + ")");
    return false;
  }
  link_.adopt(fd);
  std::lock_guard<std::mutex> lock(g_connectionMutex);
  g_connected = this;
  return true;
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
