#include "BootDownload.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "BootBytes.h"
#include "CDtpSender.h"
#include "CommandChannel.h"
#include "DtpBytes.h"
#include "FirmwareImage.h"
#include "LoadWorker.h"
#include "EngineTiming.h"

using namespace CMNC::timing;

namespace {

constexpr uint32_t kAnnouncingLoader = 3;  // RAM loaders from this version on take the block size first
constexpr int kAnnouncedMinBlock = 2048;

int percentOf(uint64_t done, uint64_t total) {
  return total == 0 ? 100 : static_cast<int>(static_cast<double>(done) * 100.0 / static_cast<double>(total));
}

}  // namespace

uint32_t ramChecksum(const uint8_t* data, std::size_t size, uint32_t value) {
  for (std::size_t i = 0; i < size; ++i) value = ((value << 7) | (value >> 25)) ^ data[i];
  return value;
}

int flashBlockSize(int runBlockSize, uint32_t loaderMode) {
  const int size = loaderMode < kAnnouncingLoader ? runBlockSize : std::max(runBlockSize, kAnnouncedMinBlock);
  return std::clamp(size, 1, CMNC::dtp::kMaxBlockSize);
}

void loadRamStep(LoadWorker& w, RunState& rs, FirmwareImage& image, const std::string& title) {
  if (!rs.ok || w.aborted()) return;
  w.events.appendStatus("Loading " + title + "...\r\n");
  FailureKind why = FailureKind::ReceiverSilent;
  rs.ok = loadRam(w, image, title, &why);
  if (!rs.ok) rs.errorText = w.aborted() ? kAbortedByUser : "Load " + title + " error.";
  if (!rs.ok) rs.kind = why;
}

bool loadRam(LoadWorker& w, FirmwareImage& image, const std::string& title, FailureKind* why) {
  CommandChannel& ch = *w.channel;
  const uint64_t total = image.size();
  uint64_t sent = 0;
  bool ok = true;
  uint32_t checksum = 0;
  std::vector<uint8_t> buffer(bootbytes::kRamPiece + 1);
  image.rewind();
  while (ok && sent < total) {
    const int n = image.read(buffer.data(), bootbytes::kRamPiece);
    checksum = ramChecksum(buffer.data(), static_cast<std::size_t>(std::max(n, 0)), checksum);
    ok = n > 0 && ch.Write(buffer.data(), n) == n;
    sent += static_cast<uint64_t>(std::max(n, 0));
    w.events.setProgress(percentOf(sent, total));
    w.events.transferProgress(sent, total);
  }
  if (ok) {
    for (int shift = 24; shift >= 0 && ok; shift -= 8) {
      const uint8_t byte = static_cast<uint8_t>(checksum >> shift);
      ok = ch.Write(&byte, 1) == 1;
    }
  }
  if (ok) {
    // The acknowledgement is timed from the moment the last byte left, not from the write call.
    ch.Drain(kDrainBeforeAckMs);
    uint8_t answer = 0;
    if (ch.Read(&answer, 1) <= 0) {
      w.events.appendLog("LoadRAM: Timeout receiving acknowledge.\r\n");
    } else if (answer == bootbytes::kLoaded) {
      w.events.appendLog(title + " loaded.\r\n");
      return true;
    } else {
      if (why) *why = FailureKind::RefusedByReceiver;
      w.events.appendLog(answer == bootbytes::kNak ? "LoadRAM: Checksum mismatch.\r\n"
                                                   : "LoadRAM: Wrong acknowledge received.\r\n");
      w.events.appendStatus("Error in loading " + title + ".\r\n");
    }
  }
  w.events.appendLog("Error in loading " + title + ".\r\n");
  return false;
}

FlashResult loadFlashStep(LoadWorker& w, RunState& rs, FirmwareImage& image, uint32_t loaderMode, const std::string& title,
                          int blockSize) {
  if (!rs.ok || w.aborted()) return FlashResult::Done;
  w.events.appendStatus("Loading " + title + "...\r\n");
  const FlashResult result = sendFlashImage(w, image, title, loaderMode, blockSize);
  rs.ok = result == FlashResult::Done && !w.aborted();
  if (w.aborted()) rs.errorText = kAbortedByUser;
  else if (result == FlashResult::BlockFailed) rs.errorText = "Send file error.";
  else if (result == FlashResult::LastBlockFailed) rs.errorText = "Final send file error.";
  else if (result == FlashResult::NoEndAck) rs.errorText = "Receiver acknowledge error.";
  if (!rs.ok) rs.kind = FailureKind::ReceiverSilent;
  rs.imageSent = result == FlashResult::NoEndAck;
  return result;
}

FlashResult sendFlashImage(LoadWorker& w, FirmwareImage& image, const std::string& title, uint32_t loaderMode,
                           int runBlockSize) {
  CommandChannel& ch = *w.channel;
  const int blockSize = flashBlockSize(runBlockSize, loaderMode);
  bool ok = true;
  FlashResult result = FlashResult::Done;
  std::string report;
  int lastPercent = 0;
  uint64_t sent = 0;
  const uint64_t total = image.size();
  std::vector<uint8_t> buffer(static_cast<std::size_t>(blockSize) + 1);

  if (loaderMode >= kAnnouncingLoader) {
    const uint8_t announce[4] = {static_cast<uint8_t>(blockSize >> 24), static_cast<uint8_t>(blockSize >> 16),
                                 static_cast<uint8_t>(blockSize >> 8), static_cast<uint8_t>(blockSize)};
    ch.Write(announce, 4);
  }
  auto sender = std::make_unique<CMNC::CDtpSender>(&ch, blockSize, w.clock, w.settings.replyGapMs);
  image.rewind();
  // A receiver that never said it is ready has taken nothing: the transfer fails at once.
  if (sender->state() != CMNC::CDtpSender::State::Wait && !w.aborted()) {
    ok = false;
    result = FlashResult::BlockFailed;
    report = sender->GetStateName() + "\r\n";
  }
  while (ok && sent < total) {
    if (w.aborted()) {
      sender->SendFrame(CMNC::dtp::kAbortFrame, 0, 0);
      ok = false;
      break;
    }
    const int n = image.read(buffer.data(), blockSize);
    if (n > 0) ok = sender->Write(buffer.data(), n) == n;
    if (!ok || n <= 0) {
      ok = false;
      result = FlashResult::BlockFailed;
      report = sender->GetStateName() + "\r\n";
      break;
    }
    sent += static_cast<uint64_t>(n);
    lastPercent = percentOf(sent, total);
    w.events.setProgress(lastPercent);
    w.events.transferProgress(sent, total);
  }
  if (ok && w.aborted()) {
    sender->SendFrame(CMNC::dtp::kAbortFrame, 0, 0);
    ok = false;
  }
  if (ok) {
    ok = sender->Finish();
    if (!ok) result = FlashResult::LastBlockFailed;
    else if (!sender->endAcknowledged() && loaderMode != 0) {
      ok = waitEndAck(w);
      if (!ok) result = FlashResult::NoEndAck;
    }
  }
  if (!ok) {
    if (result == FlashResult::BlockFailed) report += "Send file error. Send: " + std::to_string(lastPercent) + "%.\r\n";
    else if (result == FlashResult::LastBlockFailed) report += "Final send file error.\r\n";
    else if (result == FlashResult::NoEndAck) report += "Acknowledge error.\r\n";
    w.events.appendLog(report);
  }
  sender.reset();
  w.events.appendLog(ok ? title + " loaded.\r\n" : "Error in " + title + " loading.\r\n");
  return result;
}

bool waitEndAck(LoadWorker& w) {
  const int64_t end = w.clock.nowMs() + kEndAckWaitMs;
  while (w.clock.nowMs() < end && !w.aborted()) {
    uint8_t byte = 0;
    const int n = w.channel->Read(&byte, 1);
    if (n > 0 && byte == bootbytes::kLoaded) return true;
    if (n < 0) return false;
  }
  return false;
}
