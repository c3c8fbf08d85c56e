#pragma once
#include <string>

// The main firmware's version before and after a load, as the receiver told it.
struct FirmwareChange {
  bool loaded = false;  // a firmware load succeeded; nothing else below means anything without it
  std::string before;   // what the port test read; empty when no test asked
  std::string after;    // what the receiver said once it was back; empty when it did not answer
  std::string missing;  // why after is empty: which confirmation the receiver did not give

  bool confirmed() const { return loaded && !after.empty(); }
  // "Main firmware: 4.2 Dec,01,2026 -> 4.3 Dec,08,2026", or what is not known said plainly.
  std::string line() const;
};
