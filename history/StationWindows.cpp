#include <windows.h>

#include <cstdlib>

#include "Station.h"
#include "WindowsText.h"

using CMNC::windowstext::utf8;

namespace station {

std::string hostName() {
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = MAX_COMPUTERNAME_LENGTH + 1;
  if (!GetComputerNameW(name, &size) || size == 0) return "unknown";
  return utf8(std::wstring(name, size));
}

int64_t processId() { return static_cast<int64_t>(GetCurrentProcessId()); }

bool processRunning(int64_t pid) {
  if (pid <= 0 || pid > 0xFFFFFFFFll) return false;
  HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  const bool running = GetExitCodeProcess(process, &code) && code == STILL_ACTIVE;
  CloseHandle(process);
  return running;
}

std::string defaultHistoryPath() {
  const wchar_t* local = _wgetenv(L"LOCALAPPDATA");
  if (!local || local[0] == L'\0') return {};
  return utf8(local) + "\\Vestrel\\history.sqlite3";
}

}  // namespace station
