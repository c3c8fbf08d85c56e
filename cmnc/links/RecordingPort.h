#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "ConnectionKind.h"
#include "CAbstractReceiverPort.h"
#include "ExchangeRecorder.h"

namespace CMNC {

// A port that passes every call on to the real one and writes what crossed the boundary into an
// exchange recording: the open, each write, each read as it returned (also the empty ones, which
// keep the gaps), rate changes, purges, bridge-latch changes and the close. The login's password
// is written as a placeholder, never its bytes. Blocks, threads and errors are the real port's.
class RecordingPort final : public CAbstractReceiverPort {
 public:
  RecordingPort(std::unique_ptr<CAbstractReceiverPort> port, std::shared_ptr<ExchangeRecorder> recorder);
  ~RecordingPort() override;

  bool IsOpen() const override { return port_->IsOpen(); }
  bool Open(const std::string& address) override;
  void Close() override;
  int Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) override;
  int ReadReply(uint8_t* buffer, int size, int timeoutMs, int gapUs) override;
  int Write(const uint8_t* data, int size, int timeoutMs) override;
  bool Purge(uint32_t flags) override;
  bool Drain(int timeoutMs) override { return port_->Drain(timeoutMs); }
  Capabilities capabilities() const override { return port_->capabilities(); }
  bool SetLineRate(int rate) override;
  int SetBridgeLatch(uint8_t mask, uint8_t state) override;
  std::string LoginPassword() const override { return port_->LoginPassword(); }

 private:
  int recordRead(int n, const uint8_t* buffer, int64_t startedUs);
  void takeErrorText();
  std::unique_ptr<CAbstractReceiverPort> port_;
  std::shared_ptr<ExchangeRecorder> recorder_;
  std::string lastInnerError_;
};

// Ports of every kind, each recording into recorder: the command channel's port factory.
std::function<std::unique_ptr<CAbstractReceiverPort>(ConnectionKind)> RecordingPorts(std::shared_ptr<ExchangeRecorder> recorder);

}  // namespace CMNC
