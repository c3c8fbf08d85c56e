#pragma once
// What the pre-flight check's shared part and its platform part pass each other: the findings as
// they are made, and the checks each platform makes its own way.
#include <string>
#include <vector>

#include "PortCheck.h"

namespace CMNC {

class Findings {
 public:
  void ok(const char* check, const std::string& text) { list_.push_back({CheckFinding::Verdict::Ok, check, text, ""}); }
  void warn(const char* check, const std::string& text, const std::string& remedy) {
    list_.push_back({CheckFinding::Verdict::Warning, check, text, remedy});
  }
  void problem(const char* check, const std::string& text, const std::string& remedy) {
    list_.push_back({CheckFinding::Verdict::Problem, check, text, remedy});
  }
  std::vector<CheckFinding> take() { return std::move(list_); }

 private:
  std::vector<CheckFinding> list_;
};

// A bridge's latency timer at or under this passes received bytes on at once.
constexpr int kLatencyTimerGoalMs = 1;

// A USB-serial bridge passes received bytes on when its buffer fills or its latency timer runs out:
// above 1 ms, every one-byte reply of a block transfer waits for the timer. Nothing is found for a
// port that is no such bridge; the remedy is the platform's way to set the timer.
void CheckLatencyTimer(Findings& f, const std::string& port, const SystemProbe& probe, const std::string& remedy);

// The platform's checks of a serial port (by its name), a USB receiver (by its location) and the
// Bluetooth adapter.
void CheckSerialPort(Findings& f, const std::string& name, const SystemProbe& probe);
void CheckUsbPort(Findings& f, const std::string& location, const SystemProbe& probe);
void CheckBluetoothAdapter(Findings& f, const SystemProbe& probe);

}  // namespace CMNC
