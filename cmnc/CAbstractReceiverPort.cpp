#include "CAbstractReceiverPort.h"

#include <utility>

namespace CMNC {

CAbstractReceiverPort::~CAbstractReceiverPort() = default;

bool CAbstractReceiverPort::Drain(int /*timeoutMs*/) { return IsOpen(); }

std::string CAbstractReceiverPort::GetErrorText() const { return errorText_; }

void CAbstractReceiverPort::SetErrorText(std::string text) { errorText_ = std::move(text); }

}  // namespace CMNC
