#include "SoftResetEntry.h"

#include "AbortSignal.h"
#include "CommandChannel.h"
#include "EngineTiming.h"
#include "LoadWorker.h"
#include "ReceiverLanguage.h"

bool SoftResetEntry::enter(LoadWorker& w) {
  w.enterStage(LoadStage::Capturing);
  w.events.appendLog("Resetting the receiver...\r\n");
  w.channel->Purge(CMNC::kPurgeTxClear | CMNC::kPurgeRxClear);
  w.channel->SendText(CMNC::lang::kSoftReset);
  return w.sleep(CMNC::timing::kAfterSoftResetMs);
}
