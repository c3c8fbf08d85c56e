// Linux: /proc for the fleet's own path, isatty for the terminal.
#include "FleetPlatform.h"

#include <unistd.h>

#include <filesystem>

namespace fleetplatform {

void restrictLibrarySearch() {}

const char* const kVestrelName = "vestrel";
const char kPathSeparator = ':';

std::string selfFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string() : self.parent_path().string();
}

bool isProgram(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

std::vector<std::string> arguments(int argc, char** argv) { return std::vector<std::string>(argv + 1, argv + argc); }

bool isTerminal(bool errorStream) { return ::isatty(errorStream ? STDERR_FILENO : STDOUT_FILENO) != 0; }

}  // namespace fleetplatform
