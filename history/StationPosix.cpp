#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "Station.h"

namespace station {

std::string hostName() {
  char name[HOST_NAME_MAX + 1] = {};
  if (gethostname(name, sizeof name - 1) != 0 || name[0] == '\0') return "unknown";
  return name;
}

int64_t processId() { return getpid(); }

bool processRunning(int64_t pid) {
  if (pid <= 0 || pid > INT_MAX) return false;
  return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

std::string defaultHistoryPath() {
  const char* state = std::getenv("XDG_STATE_HOME");
  if (state && state[0] == '/') return std::string(state) + "/vestrel/history.sqlite3";
  const char* home = std::getenv("HOME");
  if (home && home[0] != '\0') return std::string(home) + "/.local/state/vestrel/history.sqlite3";
  return {};
}

}  // namespace station
