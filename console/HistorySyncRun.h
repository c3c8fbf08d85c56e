#pragma once
#include <iosfwd>
#include <string>

// "--sync-history": sends the rows this station kept while the line's history server was away.
// Returns the exit status: 0 when none waits any more, 1 when the server or the station's history
// cannot be reached.
int runHistorySync(const std::string& serverUrl, std::ostream& out, std::ostream& err);
