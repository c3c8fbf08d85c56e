#include "CUsbPort.h"

#include <algorithm>
#include <vector>

#include "Clock.h"
#include "LinkTiming.h"

namespace CMNC {

CUsbPort::CUsbPort() = default;

CUsbPort::~CUsbPort() { Close(); }

bool CUsbPort::ParseAddress(const std::string& address, int& bus, std::string& ports) {
  const std::string& rest = address;
  const auto dash = rest.find('-');
  if (dash == std::string::npos || dash == 0 || dash + 1 >= rest.size()) return false;
  const std::string busText = rest.substr(0, dash);
  ports = rest.substr(dash + 1);
  if (busText.size() > 3 || busText.find_first_not_of("0123456789") != std::string::npos) return false;
  if (ports.find_first_not_of("0123456789.") != std::string::npos) return false;
  bus = std::stoi(busText);
  return true;
}

bool CUsbPort::Open(const std::string& address) {
  Close();
  if (aborted_) return false;  // a stopped port stays stopped
  if (!backend_.available()) {
    SetErrorText("USB is not available on this computer.");
    return false;
  }
  std::string error;
  if (!backend_.open(address, error)) {
    SetErrorText(error);
    return false;
  }
  return true;
}

void CUsbPort::Close() { backend_.close(); }

bool CUsbPort::transferFailed(const UsbTransfer& transfer) {
  switch (transfer.status) {
    case UsbTransfer::Status::Done:
    case UsbTransfer::Status::Timeout: return false;
    case UsbTransfer::Status::Unplugged: SetErrorText("The receiver was unplugged."); return true;
    case UsbTransfer::Status::Failed: SetErrorText(transfer.error); return true;
  }
  return true;
}

int CUsbPort::Read(uint8_t* buffer, int size, int timeoutMs, int /*intervalMs*/) {
  if (!backend_.isOpen() || aborted_) return -1;
  if (size <= 0) return 0;
  const int total = timeoutMs < 0 ? timing::kUsbDefaultReadMs : std::max(timeoutMs, 1);
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + total;
  for (;;) {
    const int slice = static_cast<int>(std::clamp<int64_t>(deadline - clock.nowMs(), 1, timing::kUsbSliceMs));
    const UsbTransfer t = backend_.bulkIn(buffer, size, slice);
    if (t.transferred > 0) return t.transferred;
    if (transferFailed(t)) return -1;
    if (aborted_) return -1;
    if (clock.nowMs() >= deadline) return 0;
  }
}

int CUsbPort::Write(const uint8_t* data, int size, int /*timeoutMs*/) {
  if (!backend_.isOpen() || aborted_) return -1;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kUsbWriteMs;
  int done = 0;
  while (done < size) {
    const UsbTransfer t = backend_.bulkOut(data + done, size - done, timing::kUsbSliceMs);
    done += t.transferred;
    if (transferFailed(t)) return done > 0 ? done : -1;
    if (aborted_) return done > 0 ? done : -1;
    if (done < size && clock.nowMs() >= deadline) {
      SetErrorText("The receiver did not take data for 5 s.");
      break;
    }
  }
  return done;
}

bool CUsbPort::Purge(uint32_t flags) {
  if (flags & (kPurgeTxAbort | kPurgeRxAbort)) aborted_ = true;
  if (!backend_.isOpen() || aborted_) return true;  // an abort touches the latch only
  backend_.clearQueues(flags & (kPurgeTxClear | kPurgeRxClear));
  if (!(flags & kPurgeRxClear)) return true;
  Clock& clock = Clock::system();
  const int64_t deadline = clock.nowMs() + timing::kDrainLimitMs;
  int drained = 0;
  std::vector<uint8_t> chunk(1024);
  while (drained < timing::kDrainLimitBytes && clock.nowMs() < deadline) {
    const int n = Read(chunk.data(), static_cast<int>(chunk.size()), timing::kUsbDrainReadMs, 0);
    if (n <= 0) break;
    drained += n;
  }
  return true;
}

}  // namespace CMNC
