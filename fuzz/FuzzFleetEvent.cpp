// A child's output line as the fleet reads it: any bytes. The reader must end, and a value it
// accepts must hold what a receiver's state reads from it without fault.
#include <cstddef>
#include <cstdint>
#include <string>

#include "ReceiverState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  ReceiverState receiver("/dev/ttyUSB0", "log");
  receiver.started(ReceiverState::Clock::now());
  receiver.applyLine(line);
  receiver.applyLine(line);  // a second one on top of what the first changed
  receiver.childEnded(ChildExit{}, "", ReceiverState::Clock::now());
  if (receiver.loaded() && receiver.exitStatus() != 0) __builtin_trap();  // never loaded without a clean end
  (void)receiver.stageText();
  return 0;
}
