#include "DirectUpload.h"

#include <atomic>
#include <vector>

#include "BootDownload.h"
#include "CommandChannel.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"
#include "EngineTiming.h"

using namespace CMNC::timing;
namespace lang = CMNC::lang;

namespace {

std::atomic<unsigned> g_syncCounter{0};

const char kTooLong[] = "The receiver identity is too long for a receiver command.";
constexpr int kMinStreamBlock = 4;

// The receiver's identity; false with the error text set when it cannot be had.
bool queryIdentity(LoadWorker& w, RunState& rs, std::string& identity) {
  std::string tag;
  bool ok = true;
  if (!w.aborted()) ok = w.channel->Query(lang::kIdentityQuery, tag, identity);
  if (!w.aborted()) ok = ok && tag == lang::kIdentityTag;
  if (!ok) rs.errorText = "Can't obtain the Receiver ID";
  if (!ok) rs.kind = FailureKind::ReceiverSilent;
  else w.events.receiverIdentified(identity);
  return ok;
}

// Reads the answer to the stored-file "fld": first bytes within about 20 s, then the rest.
std::string readFldAnswer(LoadWorker& w) {
  std::vector<uint8_t> buffer(kMaxCommandBytes + 1, 0);
  int got = 0;
  for (int p = 2; p < 2 * kFldAnswerPolls + 2; p += 2) {
    w.events.setProgress(p);
    if (w.aborted()) return {};
    const int n = w.channel->Read(buffer.data(), static_cast<int>(kMaxCommandBytes), kFldAnswerReadMs);
    if (n > 0) {
      got = n;
      break;
    }
  }
  if (got == 0) return {};
  std::vector<uint8_t> rest(kMaxCommandBytes + 1, 0);
  const int more = w.channel->Read(rest.data(), static_cast<int>(kMaxCommandBytes) - got, kFldAnswerRestMs);
  std::string answer(reinterpret_cast<const char*>(buffer.data()), static_cast<std::size_t>(got));
  if (more > 0) answer.append(reinterpret_cast<const char*>(rest.data()), static_cast<std::size_t>(more));
  return answer;
}

// The receiver restarts: drop the link (the streamed path empties its receive queue first), wait,
// and connect again with the entry kept before.
bool waitAndReconnect(LoadWorker& w, bool streamed, int steps, int stepMs, int attempts, int pauseMs) {
  const PortEntry entry = w.channel->connection();
  w.events.appendStatus("Disconnected from the receiver. Waiting...\r\n");
  w.enterStage(LoadStage::Rebooting);
  if (streamed) w.channel->Purge(CMNC::kPurgeRxClear);
  w.channel->Disconnect();
  if (streamed) w.events.setProgress(2);
  for (int n = 1; n <= steps; ++n) {
    w.events.setProgress(n);
    if (!w.sleep(stepMs)) return false;
  }
  w.events.appendStatus("Trying to reconnect...\r\n");
  return reconnect(w, entry, attempts, pauseMs);
}

// Streams the image straight into "fld", halving the block after each failure; true when the
// receiver took it.
bool streamImage(LoadWorker& w, RunState& rs, FirmwareImage& image);

bool storedFlash(LoadWorker& w, RunState& rs, FirmwareImage& img) {
  uploadFile(w, rs, lang::kFirmwareFile, img);
  if (!rs.ok || w.aborted()) return rs.ok;
  w.channel->Purge(CMNC::kPurgeRxClear);
  w.events.appendStatus("Detecting the Receiver ID...\r\n");
  std::string identity;
  if (!queryIdentity(w, rs, identity)) return rs.ok = false;
  if (w.aborted()) return rs.ok;
  const std::string command = lang::storedFlashCommand(identity);
  if (command.size() > kMaxCommandBytes) {
    rs.errorText = kTooLong;
    return rs.ok = false;
  }
  w.events.appendStatus("Command the receiver to flash the firmware...\r\n");
  w.enterStage(LoadStage::Flashing, img.title);
  w.channel->SendText(command);
  const std::string answer = readFldAnswer(w);
  if (!answer.empty()) {
    waitAndReconnect(w, false, kStoredFlashRebootSteps, kStoredFlashRebootStepMs, kStoredFlashReconnects,
                     kStoredFlashReconnectPauseMs);
  }
  w.events.setProgress(100);
  std::string tag, body;
  rs.ok = !answer.empty();
  rs.imageSent = answer.empty();  // stored whole, but the receiver never said it flashed it
  if (rs.ok && !w.aborted()) rs.ok = lang::ParseReply(answer, tag, body) && tag == lang::kFldTag && body.empty();
  if (!answer.empty() && !lang::ParseReply(answer, tag, body)) body = answer;
  if (!rs.ok && !w.aborted()) rs.errorText = "The last reply is: " + body;
  if (!rs.ok) rs.kind = answer.empty() ? FailureKind::ReceiverSilent : FailureKind::RefusedByReceiver;
  if (w.aborted()) rs.ok = false;
  w.events.appendLog("\r\n");
  return rs.ok;
}

}  // namespace

bool reconnect(LoadWorker& w, const PortEntry& entry, int attempts, int pauseMs) {
  for (int i = 0; i < attempts; ++i) {
    if (w.aborted()) return false;
    if (w.channel->Connect(entry)) {
      w.events.appendStatus("Reconnected!\r\n");
      return true;
    }
    if (!w.sleep(pauseMs)) return false;
  }
  return false;
}

bool syncChannel(CommandChannel& channel) {
  const std::string counter = std::to_string(g_syncCounter.fetch_add(1));
  std::string tag, body;
  if (!channel.Query(lang::syncCommand(counter), tag, body)) return false;
  return tag == counter;
}

void uploadFile(LoadWorker& w, RunState& rs, const std::string& name, FirmwareImage& image) {
  CommandChannel& ch = *w.channel;
  if (w.aborted()) {
    rs.ok = false;
    rs.errorText = kAbortedByUser;
    return;
  }
  const auto stop = [&w] { return w.aborted(); };
  ch.Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  ch.WaitFsInit(stop);
  std::string tag, body;
  rs.ok = ch.Query(lang::kRemovedQuery, tag, body);
  if (rs.ok && tag == lang::kRemovedTag && lang::TrimBlanks(body) == "on") {
    rs.ok = ch.Query(lang::kNotRemovedCommand, tag, body);
    ch.WaitFsInit(stop);
  }
  if (rs.ok && w.images->content == SetContent::Firmware) {
    rs.ok = ch.SendText(lang::removeCommand(name));
    w.sleep(kAfterRemoveMs);
    if (rs.ok) rs.ok = ch.Query("", tag, body) && tag == lang::kRemoveTag;
  }
  const std::string put = lang::putCommand(name, w.settings.putTimeout, w.settings.blockSize);
  if (rs.ok && put.size() > kMaxCommandBytes) {
    rs.ok = false;
    rs.errorText = "The file name is too long for a receiver command.";
    return;
  }
  if (rs.ok) rs.ok = ch.Query(put, tag, body) && tag == lang::kPutTag && body.empty();
  if (!rs.ok) {
    if (w.aborted()) {
      rs.errorText = kAbortedByUser;
      return;
    }
    const std::string answer = tag.empty() ? "The last answer was: '" + body + "'"
                                           : "The last answer was: '%" + tag + "%" + body + "'";
    w.events.appendLog("Unable to configure the receiver to accept a file.\r\n");
    w.events.appendLog(answer);
    ch.Disconnect();
    rs.kind = FailureKind::RefusedByReceiver;
    w.reportImage(image.path, rs);
    w.endFailed("Unable to configure the receiver to accept a file. " + answer, FailureKind::RefusedByReceiver);
    rs.abortReported = true;
    return;
  }
  w.sleep(kAfterPutMs);
  w.events.appendLog("Loading " + image.title + "...\r\n");
  w.enterStage(LoadStage::Loading, image.title);
  if (!w.aborted()) loadFlashStep(w, rs, image, 0, image.title, w.settings.blockSize);
  else rs.ok = false, rs.errorText = kAbortedByUser;
}

StreamOutcome streamFlash(LoadWorker& w, RunState& rs, FirmwareImage& image) {
  const bool streamed = streamImage(w, rs, image);
  if (!streamed || w.aborted()) return streamed ? StreamOutcome::Flashed : StreamOutcome::NotStreamed;
  const bool back = waitAndReconnect(w, true, kStreamFlashRebootSteps, kStreamFlashRebootStepMs, kStreamFlashReconnects,
                                     kStreamFlashReconnectPauseMs);
  w.events.setProgress(100);
  if (back || w.aborted()) {
    rs.ok = back;
    return StreamOutcome::Flashed;
  }
  // The image is in flash: storing it again on a link that is gone would only hide that.
  const std::string reason = w.channel->lastError();
  rs.ok = false;
  rs.kind = FailureKind::LinkLost;
  rs.errorText = image.title + " was flashed, but the receiver did not come back: " +
                 (reason.empty() ? "no connection after " + std::to_string(kStreamFlashReconnects) + " attempts." : reason);
  return StreamOutcome::FlashedNotBack;
}

namespace {

bool streamImage(LoadWorker& w, RunState& rs, FirmwareImage& image) {
  CommandChannel& ch = *w.channel;
  w.events.appendLog("Loading " + image.title + "...\r\n");
  w.enterStage(LoadStage::Loading, image.title);
  if (!rs.ok || w.aborted()) return rs.ok;
  ch.Purge(CMNC::kPurgeRxClear);
  w.events.appendStatus("Detecting the Receiver ID...\r\n");
  std::string identity;
  if (!queryIdentity(w, rs, identity)) return rs.ok = false;
  if (w.aborted()) return rs.ok;
  // The block size halves after each refused or failed attempt: the one state this step changes.
  int blockSize = w.settings.blockSize;
  if (lang::streamFlashCommand(identity, w.settings.putTimeout, blockSize).size() > kMaxCommandBytes) {
    rs.errorText = kTooLong;
    return rs.ok = false;
  }
  w.events.appendStatus("Command the receiver to flash the firmware...\r\n");
  do {
    if (!syncChannel(ch) && !syncChannel(ch)) {
      rs.fail(FailureKind::LinkLost, "lost connection to the receiver");
      break;
    }
    std::string tag, body;
    rs.ok = ch.Query(lang::streamFlashCommand(identity, w.settings.putTimeout, blockSize), tag, body);
    if (!w.aborted()) rs.ok = rs.ok && tag == lang::kFldTag;
    if (!rs.ok) rs.fail(FailureKind::ReceiverSilent, "Can't obtain request the fld");
    if (!body.empty()) {
      rs.fail(FailureKind::RefusedByReceiver, body);
      w.events.appendLog("fld: ER " + body + "\r\n");
    }
    FlashResult result = FlashResult::Done;
    bool transferred = false;
    if (rs.ok && !w.aborted()) {
      result = loadFlashStep(w, rs, image, 0, image.title, blockSize);
      transferred = true;
    }
    if (rs.ok) break;
    if (transferred && result != FlashResult::Done) w.events.appendLog(rs.errorText);
    blockSize = blockSize > kMinStreamBlock ? blockSize / 2 : kMinStreamBlock;
    w.events.appendLog("Change DTP block to " + std::to_string(blockSize) + "\r\n");
    rs.errorText.clear();
  } while (blockSize > kMinStreamBlock && !w.aborted());
  if (!rs.ok) {
    w.events.appendLog("fld: " + rs.errorText);
    w.events.appendLog("\r\n");
    rs.errorText.clear();
    return false;
  }
  return rs.ok;
}

}  // namespace

void fileUploadRun(LoadWorker& w, FirmwareImageSet& images, bool numberedSet, RunState& rs) {
  bool anyFailed = false;
  std::string lastReason;
  for (std::size_t i = 0; i < images.count(); ++i) {
    if (w.aborted() || rs.abortReported) break;
    FirmwareImage& img = images.at(i);
    RunState one;
    one.errorText = rs.errorText;
    const StreamOutcome streamed = numberedSet ? streamFlash(w, one, img) : StreamOutcome::NotStreamed;
    if (streamed == StreamOutcome::NotStreamed) {
      one.ok = true;
      storedFlash(w, one, img);
    }
    if (one.abortReported) rs.abortReported = true;
    else if (streamed == StreamOutcome::FlashedNotBack) w.events.imageDone(img.path, ImageResult::Flashed);
    else w.reportImage(img.path, one);
    if (!one.ok) anyFailed = true;
    rs.errorText = one.errorText;
    if (!one.ok) rs.kind = one.kind;
    if (!anyFailed && w.stopsAfterImage(img.title, i + 1 < images.count(), one)) {
      anyFailed = true;
      rs.errorText = one.errorText;
      break;
    }
  }
  rs.ok = !anyFailed && !rs.abortReported && !w.aborted();
  if (w.aborted() && rs.errorText.empty()) rs.errorText = kAbortedByUser;
}
