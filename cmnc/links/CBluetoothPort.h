#pragma once
#include <functional>
#include <string>

#include "CAbstractReceiverPort.h"
#include "CBTRemoteDevice.h"
#include "SocketLink.h"

namespace CMNC {

// A receiver over a Bluetooth RFCOMM connection to its serial-port service; the address is
// "(XX:XX:XX:XX:XX:XX)". Reads, writes and purges are those of the TCP/IP link. A process has at
// most one Bluetooth connection: opening a port ends the connection of any other.
class CBluetoothPort final : public CAbstractReceiverPort {
 public:
  CBluetoothPort() = default;
  ~CBluetoothPort() override;
  CBluetoothPort(const CBluetoothPort&) = delete;
  CBluetoothPort& operator=(const CBluetoothPort&) = delete;

  bool IsOpen() const override { return link_.isOpen(); }
  bool Open(const std::string& address) override;
  void Close() override;
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override { return link_.purge(flags); }

  const CBTRemoteDevice& remote() const { return remote_; }

  // What finds the device's serial-port service and connects to it: a connected stream socket, or
  // -1 with error set (CBTRemoteDevice::kNoSerialPortService or a socket error). Blocking; it runs
  // on a helper thread of Open. CBTRemoteDevice::Connect (RFCOMM through the system) unless a test
  // puts a stand-in stream behind the port; set before Open.
  using Connector = std::function<int(const CBTRemoteDevice& remote, int& error)>;
  void setConnector(Connector connector) { connector_ = std::move(connector); }

 private:
  // The service search and connect, bounded and abortable; the connected socket or -1 with the
  // error text set.
  int ConnectAbortably();

  SocketLink link_;
  CBTRemoteDevice remote_;
  Connector connector_ = [](const CBTRemoteDevice& remote, int& error) { return remote.Connect(error); };
};

}  // namespace CMNC
