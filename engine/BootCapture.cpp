#include "BootCapture.h"

#include <vector>

#include "BootBytes.h"
#include "CommandChannel.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

using namespace CMNC::timing;

namespace {

// Switches to the receiver's normal rate, sends the reset command, and returns to the loading
// speed with the normal rate kept as the previous one.
void resetReceiver(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  const int loadingRate = ch.currentRate();
  ch.setCurrentRate(ch.previousRate());
  ch.SetRate(ch.previousRate(), false);
  ch.SendText(CMNC::lang::kCaptureReset);
  w.events.appendLog("Sending reset command...\r\n");
  w.clock.sleepMs(kAfterResetCommandMs);
  ch.SetRate(loadingRate, true);
}

}  // namespace

bool waitForBootLoader(LoadWorker& w) {
  if (w.aborted()) return false;
  CommandChannel& ch = *w.channel;
  const std::vector<uint8_t> pattern(bootbytes::kCaptureBlock, bootbytes::kCapturePattern);
  bool captured = false;
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  const int64_t start = w.clock.nowMs();
  int64_t resetTime = start;
  if (w.aborted()) return false;
  while (!captured) {
    if (w.clock.nowMs() - start >= kCaptureLimitMs) return false;
    w.events.pulse();
    w.clock.sleepMs(1);
    if (w.clock.nowMs() - resetTime > kResetPeriodMs) {
      resetReceiver(w);
      resetTime = w.clock.nowMs();
    }
    ch.Write(pattern.data(), static_cast<int>(pattern.size()), kCaptureWriteMs);
    uint8_t byte = 0;
    const int n = ch.Read(&byte, 1, kCaptureReadMs, 0);
    if (n < 0) return false;  // the link is gone (unplugged) or stopped: no use flooding it for 45 s
    if (n > 0) {
      if (w.aborted()) return false;
      if (byte == bootbytes::kNak) captured = true;
    }
    if (w.aborted() && !captured) return false;
  }
  ch.Purge(CMNC::kPurgeTxClear);
  w.clock.sleepMs(kAfterCaptureMs);
  return true;
}

bool bootHandshake(LoadWorker& w) {
  CommandChannel& ch = *w.channel;
  for (int i = 0; i < bootbytes::kHandshakeAcks; ++i) {
    const uint8_t ack = bootbytes::kAck;
    if (ch.Write(&ack, 1) != 1) return false;
    w.clock.sleepMs(kBetweenAcksMs);
  }
  int naks = 0, others = 0;
  for (;;) {
    uint8_t byte = 0;
    if (ch.Read(&byte, 1) <= 0) return false;
    if (byte == bootbytes::kNak) {
      if (++naks == bootbytes::kHandshakeNaks) return true;
    } else if (++others > bootbytes::kHandshakeOtherLimit) {
      return false;
    }
  }
}

void captureBootLoader(LoadWorker& w, RunState& rs) {
  if (!rs.ok || w.aborted()) return;
  w.events.appendStatus("Capturing...\r\n");
  rs.ok = waitForBootLoader(w);
  if (!rs.ok) {
    rs.errorText = w.aborted() ? kAbortedByUser : "Boot connection error.";
    rs.kind = FailureKind::BootLoaderNotCaught;
    return;
  }
  if (w.aborted()) {
    rs.errorText = kAbortedByUser;
    return;
  }
  rs.ok = bootHandshake(w);
  if (!rs.ok) {
    rs.errorText = w.aborted() ? kAbortedByUser : "Boot handshaking error.";
    rs.kind = FailureKind::BootLoaderNotCaught;
    return;
  }
  w.events.appendStatus("Captured.\r\n");
}
