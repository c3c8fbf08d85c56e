#pragma once
#include <string>
#include <vector>

#include "PortEntry.h"
#include "SystemProbe.h"

namespace CMNC {

// One finding of the pre-flight check: what was checked and, when it is not fine, the remedy.
struct CheckFinding {
  enum class Verdict { Ok, Warning, Problem };
  Verdict verdict = Verdict::Ok;
  std::string text;
};

// The pre-flight check of one port: it is there, it is a terminal (serial links), this user may
// open it, no other program holds it, ModemManager leaves it alone, the udev rule is installed
// (native USB), an adapter is present (Bluetooth). Asks the probe only: nothing is sent to the
// receiver. The findings come in the order checked; a problem that makes the later checks
// meaningless ends the list.
std::vector<CheckFinding> CheckPort(const PortEntry& port, const SystemProbe& probe);

// No finding is a problem: the port can be used.
bool PortUsable(const std::vector<CheckFinding>& findings);

// "OK       /dev/ttyUSB0: exists"
std::string CheckLine(const std::string& port, const CheckFinding& finding);

}  // namespace CMNC
