#pragma once
#include <memory>
#include <string>

#include "CAbstractReceiverPort.h"
#include "SocketApi.h"
#include "SocketLink.h"
#include "TcpipAddress.h"

namespace CMNC {

// A receiver's command port over TCP with its login dialogue. The address is
// "host:port:password"; Open connects and answers the login prompt with an empty user name and
// waits for the password prompt; the command channel then sends the password.
class CTcpipPort final : public CAbstractReceiverPort {
 public:
  CTcpipPort() = default;
  ~CTcpipPort() override { Close(); }

  bool IsOpen() const override { return link_.isOpen(); }
  bool Open(const std::string& address) override;
  void Close() override { link_.close(); }
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override { return link_.purge(flags); }

  Capabilities capabilities() const override { return {false, false, true}; }
  std::string LoginPassword() const override { return host_.password; }
  const TcpipHost& Host() const { return host_; }

 private:
  // Tries the host's addresses in turn; false with the error text set when none connects.
  bool Connect(const addrinfo* list);

  SocketLink link_;
  TcpipHost host_;
  std::string received_;  // all text received during the login dialogue
};

}  // namespace CMNC
