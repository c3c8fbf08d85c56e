#pragma once
#include <functional>
#include <string>

#include "LoadRecord.h"

class LineStore;
class LoadHistory;
class StationTokens;

// The line service's station API, apart from HTTP: a station's request (its path under
// /api/station/v1/, the Authorization header, the JSON body) and the answer's status and JSON.
// A request names its station by its token; a row or a live state is taken only when it names that
// station and no other station's row of its id is there. A row sent again is stored once (by the
// run's id: a finished row stays as it is). Every call may come from any thread and blocks on the
// line's server.
class StationApi {
 public:
  struct Answer {
    int status = 200;
    std::string json;
  };

  StationApi(StationTokens& tokens, LineStore& writer);
  Answer handle(const std::string& path, const std::string& authorization, const std::string& body);

 private:
  // Writes a row of the station's; there: a row of its id is there already. false with error set.
  using RowWrite = std::function<bool(LoadHistory&, const LoadRecord&, bool there, bool& written, std::string& error)>;
  Answer takeRow(const std::string& station, const std::string& body, const RowWrite& write);
  Answer begin(const std::string& station, const std::string& body);
  Answer finish(const std::string& station, const std::string& body);
  Answer live(const std::string& station, const std::string& body);
  Answer openRuns(const std::string& station);
  Answer interrupted(const std::string& station, const std::string& body);
  StationTokens& tokens_;
  LineStore& writer_;
};
