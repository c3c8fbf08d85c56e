#include "LinePages.h"

#include "CsvCell.h"
#include "Html.h"
#include "LoadTable.h"
#include "ViewerClock.h"

namespace linepages {
namespace {

using html::escape;

std::string formToken(const Viewer& viewer) {
  return "<input type=\"hidden\" name=\"form_token\" value=\"" + escape(viewer.formToken) + "\">";
}

std::string layout(const Viewer* viewer, const std::string& title, const std::string& body, const std::string& page = "") {
  std::string text =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<title>" + escape(title) + " - Vestrel line</title>"
      "<link rel=\"stylesheet\" href=\"/static/line.css\">"
      "<script src=\"/static/line.js\" defer></script></head><body data-page=\"" + escape(page) + "\">";
  text += "<header><span class=\"brand\">Vestrel line</span>";
  if (viewer) {
    text += "<nav><a href=\"/now\">Now</a><a href=\"/history\">History</a><a href=\"/figures\">Figures</a>";
    if (viewer->role == Accounts::Role::Admin) text += "<a href=\"/accounts\">Accounts</a><a href=\"/stations\">Stations</a>";
    text += "</nav><form class=\"signout\" method=\"post\" action=\"/sign-out\">" + formToken(*viewer) +
            "<span>" + escape(viewer->account) + "</span><button type=\"submit\">Sign out</button></form>";
  }
  text += "</header><main><h1>" + escape(title) + "</h1>" + body + "</main></body></html>\n";
  return text;
}

std::string table(const std::vector<std::string>& headings, const std::vector<std::vector<std::string>>& rows,
                  const std::string& id = "") {
  std::string text = "<table" + (id.empty() ? std::string() : " id=\"" + id + "\"") + ">";
  std::string head;
  for (const std::string& heading : headings) head += heading;
  if (!head.empty()) {
    text += "<thead><tr>";
    for (const std::string& heading : headings) text += "<th>" + escape(heading) + "</th>";
    text += "</tr></thead>";
  }
  text += "<tbody>";
  for (const auto& row : rows) {
    text += "<tr>";
    for (const std::string& cell : row) text += "<td>" + cell + "</td>";  // cells come escaped
    text += "</tr>";
  }
  return text + "</tbody></table>";
}

// A list of loads: the first cell links to the load, the receiver to its page.
std::string loadsTable(const std::vector<LoadRecord>& rows, int offsetMinutes) {
  std::vector<std::vector<std::string>> cells;
  for (const LoadRecord& row : rows) {
    std::vector<std::string> texts = loadtable::cells(row, offsetMinutes);
    std::vector<std::string> shown;
    for (const std::string& text : texts) shown.push_back(escape(text));
    shown[0] = "<a href=\"/load?id=" + html::queryValue(row.id) + "\">" + shown[0] + "</a>";
    if (!row.receiverId.empty())
      shown[3] = "<a href=\"/receiver?id=" + html::queryValue(row.receiverId) + "\">" + shown[3] + "</a>";
    shown[7] = "<span class=\"outcome " + escape(row.outcome) + "\">" + shown[7] + "</span>";
    cells.push_back(shown);
  }
  return table(loadtable::headings(), cells, "loads");
}

std::string field(const char* name, const char* label, const std::string& value, const char* type = "text") {
  return std::string("<label>") + label + " <input type=\"" + type + "\" name=\"" + name + "\" value=\"" + escape(value) +
         "\"></label>";
}

std::string periodForm(const LineQuery& query, const char* action, bool filters) {
  std::string text = std::string("<form class=\"filter\" method=\"get\" action=\"") + action + "\">" +
                     field("from", "From", query.from, "date") + field("to", "To", query.to, "date");
  if (filters) {
    text += field("station", "Station", query.station);
    text += "<label>Outcome <select name=\"outcome\"><option value=\"\">any</option>";
    for (const char* outcome : {"confirmed", "unconfirmed", "failed", "aborted", "refused", "interrupted"})
      text += std::string("<option") + (query.outcome == outcome ? " selected" : "") + ">" + outcome + "</option>";
    text += "</select></label>" + field("receiver", "Receiver id", query.receiver) +
            field("firmware", "Firmware", query.firmware) + field("work_order", "Work order", query.workOrder);
  }
  return text + "<button type=\"submit\">Show</button></form>";
}

std::string secondsText(std::optional<int64_t> seconds) {
  if (!seconds) return "";
  return std::to_string(*seconds / 60) + ":" + (*seconds % 60 < 10 ? "0" : "") + std::to_string(*seconds % 60);
}

}  // namespace

std::string signIn(const std::string& problem, const std::string& token) {
  std::string body = problem.empty() ? "" : "<p class=\"problem\" role=\"alert\">" + escape(problem) + "</p>";
  body += "<form class=\"signin\" method=\"post\" action=\"/sign-in\">"
          "<input type=\"hidden\" name=\"form_token\" value=\"" + escape(token) + "\">" +
          field("account", "Account", "") + field("password", "Password", "", "password") +
          "<button type=\"submit\">Sign in</button></form>";
  return layout(nullptr, "Sign in", body, "sign-in");
}

std::string now(const Viewer& viewer, const std::vector<LiveRow>& rows) {
  std::vector<std::vector<std::string>> cells;
  for (const LiveRow& row : rows) {
    const LiveState& s = row.state;
    const std::string image = s.imageCount > 0 ? std::to_string(s.imageIndex) + " of " + std::to_string(s.imageCount) : "";
    cells.push_back({escape(s.station), escape(s.port), escape(s.receiverId), escape(s.stage), escape(image),
                     std::to_string(s.percent) + " %", escape(secondsText(s.secondsLeft)),
                     escape(s.outcome.empty() ? "loading" : s.outcome + (s.failureKind.empty() ? "" : " (" + s.failureKind + ")"))});
  }
  const std::string body =
      "<p id=\"feed\" class=\"feed\">Loads as stations report them; this page follows them as they go.</p>" +
      table({"Station", "Port", "Receiver", "Stage", "Image", "Progress", "Time left", "Outcome"}, cells, "live");
  return layout(&viewer, "Now", body, "now");
}

std::string history(const Viewer& viewer, const LineQuery& query, const std::vector<LoadRecord>& rows) {
  std::string body = periodForm(query, "/history", true);
  body += "<p class=\"count\"><span id=\"count\">" + std::to_string(rows.size()) + "</span> loads from " +
          escape(query.from) + " to " + escape(query.to) + " (" + escape(viewerclock::offsetText(viewer.offsetMinutes)) +
          ")" + (query.cut ? ", the newest shown" : "") + ". <a id=\"csv\" href=\"/history.csv?" + escape(query.urlQuery()) +
          "\">CSV of these loads</a></p>";
  body += loadsTable(rows, viewer.offsetMinutes);
  return layout(&viewer, "History", body, "history");
}

std::string load(const Viewer& viewer, const LoadRecord& row, const std::string& log, const std::string& logNote) {
  const int offset = viewer.offsetMinutes;
  std::vector<std::vector<std::string>> facts;
  // A fact the row does not know is left out.
  auto fact = [&](const char* name, const std::string& value) {
    if (!value.empty()) facts.push_back({escape(name), escape(value)});
  };
  fact("Outcome", loadtable::outcomeText(row));
  fact("Reason", row.reason);
  const std::string zone = " (" + viewerclock::offsetText(offset) + ")";
  fact("Started", viewerclock::shown(row.startedAt, offset) + zone);
  if (!row.finishedAt.empty()) fact("Finished", viewerclock::shown(row.finishedAt, offset) + zone);
  fact("Station", row.station);
  fact("Port", row.port + (row.link.empty() ? "" : " (" + row.link + ")"));
  fact("Method", row.method);
  fact("Source", row.source);
  fact("Source SHA-256", row.sourceSha256);
  fact("Signed by", row.signerKey.empty() ? "" : row.signerKey + " (" + row.signerComment + ")");
  fact("Receiver", row.receiverId);
  fact("Model", row.receiverModel);
  fact("Hardware", row.receiverHardware);
  fact("Firmware before", row.firmwareBefore);
  fact("Firmware after", row.firmwareAfter);
  fact("Work order", row.workOrder);
  fact("Operator", row.operatorName);
  fact("Lot", row.lot);
  fact("Command line", row.commandLine);
  fact("Program", row.toolVersion);
  std::string body = table({"", ""}, facts, "facts");
  std::vector<std::vector<std::string>> images;
  for (const RecordedImage& image : row.images)
    images.push_back({escape(image.file), escape(image.title), std::to_string(image.size), "<code>" + escape(image.sha256) + "</code>",
                      escape(image.result)});
  body += "<h2>Images</h2>" + table({"File", "Image", "Bytes", "SHA-256", "Result"}, images, "images");
  body += "<h2>Activity log</h2>";
  if (!logNote.empty()) body += "<p class=\"note\">" + escape(logNote) + "</p>";
  if (!log.empty()) body += "<pre id=\"log\">" + escape(log) + "</pre>";
  return layout(&viewer, "Load " + row.id, body, "load");
}

std::string receiver(const Viewer& viewer, const std::string& id, const std::vector<LoadRecord>& rows, bool cut) {
  std::string body = "<p class=\"count\"><span id=\"count\">" + std::to_string(rows.size()) + "</span> loads, newest first" +
                     (cut ? " (the newest shown)" : "") + ". <a id=\"csv\" href=\"/receiver.csv?id=" + html::queryValue(id) +
                     "\">CSV of these loads</a></p>";
  body += loadsTable(rows, viewer.offsetMinutes);
  return layout(&viewer, "Receiver " + id, body, "receiver");
}

std::string figures(const Viewer& viewer, const LineQuery& query, const LineFigures& f) {
  std::string body = periodForm(query, "/figures", false);
  body += "<p class=\"count\">" + std::to_string(f.loads) + " loads; first-pass yield <strong id=\"yield\">" +
          escape(f.yieldText()) + "</strong> (" + std::to_string(f.firstPassed) + " of " + std::to_string(f.receivers) +
          " receivers confirmed at their first load). <a id=\"csv\" href=\"/figures.csv?" + escape(query.urlQuery()) +
          "\">CSV of these figures</a></p>";
  auto bars = [](const std::vector<std::pair<std::string, int>>& counts) {
    int most = 1;
    for (const auto& [name, count] : counts) most = std::max(most, count);
    std::vector<std::vector<std::string>> rows;
    for (const auto& [name, count] : counts)
      rows.push_back({escape(name), std::to_string(count),
                      "<meter min=\"0\" max=\"" + std::to_string(most) + "\" value=\"" + std::to_string(count) + "\"></meter>"});
    return rows;
  };
  std::vector<std::pair<std::string, int>> stations(f.perStation.begin(), f.perStation.end());
  std::vector<std::pair<std::string, int>> hours;
  for (int hour = 0; hour < 24; ++hour)
    if (f.perHour[hour] > 0) hours.emplace_back((hour < 10 ? "0" : "") + std::to_string(hour) + ":00", f.perHour[hour]);
  std::vector<std::pair<std::string, int>> kinds(f.failuresByKind.begin(), f.failuresByKind.end());
  body += "<h2>Loads per station</h2>" + table({"Station", "Loads", ""}, bars(stations), "stations");
  body += "<h2>Loads per hour</h2>" + table({"Hour", "Loads", ""}, bars(hours), "hours");
  body += "<h2>Failures by kind</h2>" + table({"Kind", "Loads", ""}, bars(kinds), "failures");
  return layout(&viewer, "Figures", body, "figures");
}

std::string figuresCsv(const LineQuery& query, const LineFigures& f) {
  std::string text = "Figure,Name,Value\r\n";
  auto line = [&](const std::string& figure, const std::string& name, const std::string& value) {
    text += csvcell::of(figure) + "," + csvcell::of(name) + "," + csvcell::of(value) + "\r\n";
  };
  line("period", query.from + " to " + query.to, "");
  line("loads", "", std::to_string(f.loads));
  line("first-pass yield", std::to_string(f.firstPassed) + " of " + std::to_string(f.receivers), f.yieldText());
  for (const auto& [station, count] : f.perStation) line("loads per station", station, std::to_string(count));
  for (int hour = 0; hour < 24; ++hour)
    if (f.perHour[hour] > 0) line("loads per hour", (hour < 10 ? "0" : "") + std::to_string(hour) + ":00", std::to_string(f.perHour[hour]));
  for (const auto& [kind, count] : f.failuresByKind) line("failures by kind", kind, std::to_string(count));
  return text;
}

std::string accounts(const Viewer& viewer, const std::vector<Accounts::Account>& list, const std::string& notice) {
  std::string body = notice.empty() ? "" : "<p class=\"note\" role=\"status\">" + escape(notice) + "</p>";
  std::vector<std::vector<std::string>> rows;
  for (const Accounts::Account& account : list)
    rows.push_back({escape(account.name), Accounts::roleName(account.role),
                    "<form method=\"post\" action=\"/accounts/remove\">" + formToken(viewer) +
                        "<input type=\"hidden\" name=\"account\" value=\"" + escape(account.name) +
                        "\"><button type=\"submit\">Remove</button></form>"});
  body += table({"Account", "Role", ""}, rows, "accounts");
  body += "<h2>Add an account, or give one a new role and password</h2><form method=\"post\" action=\"/accounts/put\">" +
          formToken(viewer) + field("account", "Account", "") + field("password", "Password", "", "password") +
          "<label>Role <select name=\"role\"><option>viewer</option><option>admin</option></select></label>"
          "<button type=\"submit\">Save</button></form>";
  return layout(&viewer, "Accounts", body, "accounts");
}

std::string stations(const Viewer& viewer, const std::vector<StationTokens::Entry>& list, const StationsNotice& notice) {
  std::string body;
  if (!notice.text.empty()) body += "<p class=\"note\" role=\"status\">" + escape(notice.text) + "</p>";
  if (!notice.token.empty())
    body += "<p>The token, shown this once:</p><p><code id=\"token\">" + escape(notice.token) +
            "</code></p><p>On the station, put it alone in a file only its user can read and run vestrel with "
            "--history-db " + escape(notice.serviceUrl) +
            " --history-token-file FILE (and --history-ca FILE when the line has its own certificate authority), or "
            "store it once with vestrel --save-history-token --history-db " + escape(notice.serviceUrl) + ".</p>";
  if (!notice.apiOn)
    body += "<p class=\"problem\">The station API is off: this service was started without --writer-db, so no "
            "station can send rows through it yet.</p>";
  std::vector<std::vector<std::string>> rows;
  for (const StationTokens::Entry& entry : list)
    rows.push_back({escape(entry.station), escape(entry.issuedAt), escape(entry.issuedBy),
                    "<form method=\"post\" action=\"/stations/revoke\">" + formToken(viewer) +
                        "<input type=\"hidden\" name=\"station\" value=\"" + escape(entry.station) +
                        "\"><button type=\"submit\">Revoke</button></form>"});
  body += table({"Station", "Token issued (UTC)", "By", ""}, rows, "stations");
  body += "<h2>Issue a token</h2><p>A station writes its rows and live loads here with its own token; a new token "
          "for a station stops the one before.</p><form method=\"post\" action=\"/stations/issue\">" +
          formToken(viewer) + field("station", "Station (its host name)", "") +
          "<button type=\"submit\">Issue</button></form>";
  return layout(&viewer, "Stations", body, "stations");
}

std::string problem(const Viewer* viewer, const std::string& title, const std::string& text) {
  return layout(viewer, title, "<p class=\"problem\" role=\"alert\">" + escape(text) + "</p>", "problem");
}

}  // namespace linepages
