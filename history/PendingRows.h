#pragma once
#include <string>

class LineRows;
class LoadHistory;

// The rows a station kept while the line's server was away, sent on when it is back.
namespace pendingrows {

struct SendResult {
  int sent = 0;          // rows the server took
  int alreadyThere = 0;  // rows the server had already (another process sent them)
  std::string error;     // why the rest stayed pending; "" when none did
};

// Sends every pending row of the station's history to the server, each once: a row the server took
// or already had is no longer pending on the station.
SendResult send(LoadHistory& station, LineRows& server);
// The same from this station's own history file, when there is one.
SendResult sendFromStation(LineRows& server);

}  // namespace pendingrows
