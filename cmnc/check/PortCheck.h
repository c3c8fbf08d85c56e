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
  std::string check;   // what was checked: "exists", "serial-device", "access", "terminal", "holders"...
  std::string text;    // what was found
  std::string remedy;  // what to do about it; empty when it is fine
};

// The pre-flight check of one port: it is there, it is a serial device by what the system shows
// of it, opened once at most and then a terminal (serial links), this user may
// open it, no other program holds it, ModemManager leaves it alone, the udev rule is installed
// (native USB), an adapter is present (Bluetooth). Asks the probe only: nothing is sent to the
// receiver. The findings come in the order checked; a problem that makes the later checks
// meaningless ends the list.
std::vector<CheckFinding> CheckPort(const PortEntry& port, const SystemProbe& probe);

// No finding is a problem: the port can be used.
bool PortUsable(const std::vector<CheckFinding>& findings);

// "OK       /dev/ttyUSB0: exists"; a remedy follows its finding after ": ".
std::string CheckLine(const std::string& port, const CheckFinding& finding);
// "ok", "warning", "problem".
const char* VerdictName(CheckFinding::Verdict verdict);

}  // namespace CMNC
