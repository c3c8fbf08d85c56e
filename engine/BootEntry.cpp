#include "BootEntry.h"

#include "PowerSwitchEntry.h"
#include "SoftResetEntry.h"

std::unique_ptr<BootEntry> BootEntry::forMethod(LoadMethod method) {
  switch (method) {
    case LoadMethod::SoftBreakCapture: return std::make_unique<SoftResetEntry>();
    case LoadMethod::PowerOnCapture: return std::make_unique<PowerSwitchEntry>();
    default: return nullptr;
  }
}
