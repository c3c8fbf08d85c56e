#pragma once
#include <iosfwd>
#include <string>

#include "LoadJob.h"

// "--sync-history": the rows that wait on this station sent to the line's server or service now;
// exit 0 when none is left waiting, 1 when some still wait (why on err).
int runHistorySync(const HistorySettings& history, std::ostream& out, std::ostream& err);
// "--save-history-token": the line service's token, typed without echo (or the input's first line),
// kept in the system's secret store for the service at url; exit 0 when kept, 1 when not.
int runSaveHistoryToken(const std::string& url, std::ostream& err);
