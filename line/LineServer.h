#pragma once
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "Accounts.h"
#include "LinePages.h"
#include "LiveFeed.h"
#include "LineStore.h"
#include "Sessions.h"
#include "SignInThrottle.h"
#include "StationApi.h"
#include "StationTokens.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

// The line's web service: the pages (Now, History, a load, a receiver, Figures, Accounts), their
// CSV, the live view's JSON and its event stream, over the line's history read by LineStore and
// the live feed. Every page but the sign-in and the service's own files needs a session; every
// form a session's token and a request from the service's own pages; every answer carries a
// Content-Security-Policy that allows only the service's own scripts and styles. listen() blocks
// until stop() (any thread).
class LineServer {
 public:
  struct Settings {
    std::string historyUrl;  // the line's server, without a password
    std::string writerUrl;   // the same as a role that writes, for the station API; "" keeps the API off
    std::string tokensPath;  // the stations' tokens
    std::string host = "127.0.0.1";
    int port = 8470;
    std::string tlsCert, tlsKey;  // both, or neither
    std::string accountsPath;
    std::string staticDir;  // the pages' CSS, JavaScript and pictures
  };
  // How many requests are served at once (each open Now page holds one for its event stream).
  static constexpr int kThreads = 64;
  // The largest request body taken by the pages (the station API takes rows with their logs, up to
  // stationapi::kMaxRequestBytes).
  static constexpr std::size_t kMaxBodyBytes = 64 * 1024;
  // How long a live row may go without a write from its station before it is shown stale.
  static constexpr int kStaleMs = 30000;
  // How long an ended run stays on the Now page.
  static constexpr int kEndedShownS = 900;
  // How often an idle event stream says it is alive.
  static constexpr int kStreamKeepAliveMs = 15000;

  explicit LineServer(Settings settings);
  ~LineServer();
  // Reads the accounts and the pages' files and makes the server; false with why.
  bool prepare(std::string& error);
  // Serves until stop(); false with why when it could not listen.
  bool listen(std::string& error);
  void stop();

 private:
  using Request = httplib::Request;
  using Response = httplib::Response;
  using Page = std::function<void(const Request&, Response&, const linepages::Viewer&)>;
  void routes();
  void secure(Response& res) const;
  std::optional<linepages::Viewer> viewerOf(const Request& req, Response& res, bool page);
  bool sameSite(const Request& req) const;
  void get(const std::string& pattern, const Page& page, bool admin = false);
  void post(const std::string& pattern, const Page& page, bool admin = false);
  void signInPage(const Request& req, Response& res, const std::string& problem);
  void signIn(const Request& req, Response& res);
  void signOut(const Request& req, Response& res);
  void nowPage(const Request& req, Response& res, const linepages::Viewer& viewer);
  void liveJson(const Request& req, Response& res, const linepages::Viewer& viewer);
  void liveStream(const Request& req, Response& res, const linepages::Viewer& viewer);
  void historyPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv);
  void loadPage(const Request& req, Response& res, const linepages::Viewer& viewer);
  void receiverPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv);
  void figuresPage(const Request& req, Response& res, const linepages::Viewer& viewer, bool csv);
  void accountsPage(const Request& req, Response& res, const linepages::Viewer& viewer, const std::string& notice);
  void putAccount(const Request& req, Response& res, const linepages::Viewer& viewer);
  void removeAccount(const Request& req, Response& res, const linepages::Viewer& viewer);
  void stationsPage(const Request& req, Response& res, const linepages::Viewer& viewer, linepages::StationsNotice notice);
  void issueToken(const Request& req, Response& res, const linepages::Viewer& viewer);
  void revokeToken(const Request& req, Response& res, const linepages::Viewer& viewer);
  void stationRequest(const Request& req, Response& res);
  void fail(Response& res, const linepages::Viewer* viewer, int status, const std::string& title, const std::string& text);
  std::string liveRowJson(const std::string& id);
  // The live rows (the one of id, or every shown one), and the loads a filter keeps (cut says that
  // more met it than a page shows); false with error set when the history cannot be read.
  bool readLive(const std::string& id, std::vector<LiveRow>& rows, std::string& error);
  bool readLoads(const HistoryFilter& filter, std::vector<LoadRecord>& rows, bool& cut, std::string& error);
  bool tls() const { return !settings_.tlsCert.empty(); }

  Settings settings_;
  Accounts accounts_;
  Sessions sessions_;
  SignInThrottle throttle_;
  StationTokens tokens_;
  std::unique_ptr<LineStore> store_;
  std::unique_ptr<LineStore> writer_;  // the station API's, when it is on
  std::unique_ptr<StationApi> stationApi_;
  std::unique_ptr<LiveFeed> feed_;
  std::unique_ptr<httplib::Server> server_;
  std::map<std::string, std::pair<std::string, std::string>> files_;  // name: content type, bytes
  int boundPort_ = 0;
};
