#include "CAbstractReceiverPort.h"

#include <utility>

#include "BridgeLatch.h"

namespace CMNC {

CAbstractReceiverPort::~CAbstractReceiverPort() = default;

bool CAbstractReceiverPort::SetLineRate(int /*rate*/) { return false; }

int CAbstractReceiverPort::SetBridgeLatch(uint8_t /*mask*/, uint8_t /*state*/) { return kBridgeRequestFailed; }

bool CAbstractReceiverPort::Drain(int /*timeoutMs*/) { return IsOpen(); }

std::string CAbstractReceiverPort::GetErrorText() const { return errorText_; }

void CAbstractReceiverPort::SetErrorText(std::string text) { errorText_ = std::move(text); }

}  // namespace CMNC
