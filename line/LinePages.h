#pragma once
#include <string>
#include <vector>

#include "Accounts.h"
#include "LineFigures.h"
#include "LineQuery.h"
#include "LiveState.h"
#include "LoadRecord.h"
#include "StationTokens.h"

// The service's pages as HTML: every text from a station or a receiver escaped, no inline script
// or style (the Content-Security-Policy allows only the service's own files), each form carrying
// the session's form token.
namespace linepages {

// Who looks at the page.
struct Viewer {
  std::string account;
  Accounts::Role role = Accounts::Role::Viewer;
  std::string formToken;
  int offsetMinutes = 0;
};

std::string signIn(const std::string& problem, const std::string& formToken);
std::string now(const Viewer& viewer, const std::vector<LiveRow>& rows);
std::string history(const Viewer& viewer, const LineQuery& query, const std::vector<LoadRecord>& rows);
std::string load(const Viewer& viewer, const LoadRecord& row, const std::string& log, const std::string& logNote);
std::string receiver(const Viewer& viewer, const std::string& id, const std::vector<LoadRecord>& rows, bool cut);
std::string figures(const Viewer& viewer, const LineQuery& query, const LineFigures& figures);
std::string accounts(const Viewer& viewer, const std::vector<Accounts::Account>& list, const std::string& notice);
// What the Stations page says above its table: what was done, a token just issued (shown once).
struct StationsNotice {
  std::string text;
  std::string token;
  std::string serviceUrl;  // where stations send their rows
  bool apiOn = false;      // the service writes stations' rows (--writer-db)
};
std::string stations(const Viewer& viewer, const std::vector<StationTokens::Entry>& list, const StationsNotice& notice);
// A page that says what went wrong (a bad request, a history that cannot be read).
std::string problem(const Viewer* viewer, const std::string& title, const std::string& text);

// The figures as CSV (what the page shows): one line a figure.
std::string figuresCsv(const LineQuery& query, const LineFigures& figures);
}  // namespace linepages
