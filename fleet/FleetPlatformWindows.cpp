// Windows: the module's own path, the wide command line, the console's virtual-terminal mode.
#include "FleetPlatform.h"

#include <windows.h>

#include <filesystem>

#include "WindowsText.h"

namespace fleetplatform {

void restrictLibrarySearch() { ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32); }

const char* const kVestrelName = "vestrel.exe";
const char kPathSeparator = ';';

std::string selfFolder() {
  wchar_t path[MAX_PATH * 4] = {};
  const DWORD n = ::GetModuleFileNameW(nullptr, path, sizeof path / sizeof path[0]);
  if (n == 0 || n >= sizeof path / sizeof path[0]) return "";
  return CMNC::windowstext::utf8(std::filesystem::path(path).parent_path().wstring());
}

bool isProgram(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_regular_file(std::filesystem::path(CMNC::windowstext::wide(path)), error);
}

std::vector<std::string> arguments(int, char**) { return CMNC::windowstext::commandLineArguments(); }

bool isTerminal(bool errorStream) {
  ::SetConsoleOutputCP(CP_UTF8);
  const HANDLE stream = ::GetStdHandle(errorStream ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!::GetConsoleMode(stream, &mode)) return false;  // a pipe or a file
  return ::SetConsoleMode(stream, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
}

}  // namespace fleetplatform
