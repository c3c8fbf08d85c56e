#include "CAbstractReceiverPort.h"

#include <utility>

#include "BridgeLatch.h"

namespace CMNC {

CAbstractReceiverPort::~CAbstractReceiverPort() = default;

bool CAbstractReceiverPort::SetLineRate(int /*rate*/) { return false; }

int CAbstractReceiverPort::SetBridgeLatch(uint8_t /*mask*/, uint8_t /*state*/) { return kBridgeRequestFailed; }

int CAbstractReceiverPort::ReadReply(uint8_t* buffer, int size, int timeoutMs, int /*gapUs*/) {
  return Read(buffer, size, timeoutMs, 0);
}

bool CAbstractReceiverPort::Drain(int /*timeoutMs*/) { return IsOpen(); }

std::string CAbstractReceiverPort::GetErrorText() const { return errorText_; }

void CAbstractReceiverPort::SetErrorText(std::string text) { errorText_ = std::move(text); }

}  // namespace CMNC
