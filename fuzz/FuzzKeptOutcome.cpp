// A row kept beside the history, as the next run reads it back: any bytes a damaged file may hold.
// A text that reads as a row is written again the same way and reads back as the same row.
#include <cstddef>
#include <cstdint>
#include <string>

#include "KeptOutcome.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  LoadRecord row;
  if (!keptoutcome::parse(text, row)) return 0;
  const std::string again = keptoutcome::text(row);
  LoadRecord back;
  if (!keptoutcome::parse(again, back) || keptoutcome::text(back) != again) __builtin_trap();
  return 0;
}
