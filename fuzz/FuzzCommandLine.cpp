// The command line: arguments separated by zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "LoadJob.h"
#include "SourceKind.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) args.emplace_back();
    else args.back().push_back(static_cast<char>(data[i]));
  }
  LoadJob job;
  SourceKind kind = SourceKind::ZipArchive;
  parseCommandLine(args, job, kind);
  if (job.speed < 4800) __builtin_trap();  // a speed below the floor never reaches a port
  readDecimal(args.front());
  return 0;
}
