#include "PowerSwitchEntry.h"

#include "BridgeLatch.h"
#include "BridgeLines.h"
#include "CommandChannel.h"
#include "EngineTiming.h"
#include "LoadWorker.h"

bool PowerSwitchEntry::enter(LoadWorker& w) {
  using namespace bridgelines;
  w.enterStage(LoadStage::Capturing);
  if (w.channel->SetBridgeLatch(kReady | kPower, kReady | kPower) != CMNC::kBridgeDone) {
    w.events.replaceStatus("Turn your receiver on.\r\n");
    return true;
  }
  if (!w.sleep(CMNC::timing::kPowerSwitchOffMs)) return false;
  w.channel->SetBridgeLatch(kPower, 0);
  return w.sleep(CMNC::timing::kPowerSwitchOnMs);
}
