#pragma once
#include <cstdint>
#include <string>

// What the load history knows of the station a run is on, from its system.
namespace station {
// The host's name; "unknown" when the system does not say.
std::string hostName();
// The station's name in the load history: VESTREL_STATION when set (each station of a line needs a
// name of its own: rows of its name whose process is gone here are taken as interrupted), else
// the host's name.
std::string name();
int64_t processId();
// Whether a process of this number runs on this host now.
bool processRunning(int64_t pid);
// Where the history is kept unless "--history-db" says otherwise: on Linux
// $XDG_STATE_HOME/vestrel/history.sqlite3, else ~/.local/state/vestrel/history.sqlite3; on
// Windows history.sqlite3 in the folder Vestrel of %LOCALAPPDATA%. Empty when neither the
// variable nor a home folder is known.
std::string defaultHistoryPath();
// A new random (version 4) UUID, "8-4-4-4-12" lower-case hexadecimal digits.
std::string newUuid();
}  // namespace station
