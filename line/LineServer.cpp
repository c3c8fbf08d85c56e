#include "LineServer.h"

#include <httplib.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "PrintableText.h"
#include "StationApiPaths.h"
#include "ViewerClock.h"

namespace {

constexpr const char* kSessionCookie = "vl_session";
constexpr const char* kSignInCookie = "vl_signin";  // the sign-in form's token, before any session
constexpr const char* kOffsetCookie = "vl_tz";      // the viewer's offset from UTC, set by the pages' script

constexpr const char* kContentSecurityPolicy =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "form-action 'self'; frame-ancestors 'none'; base-uri 'none'";

std::string cookie(const httplib::Request& req, const std::string& name) {
  const std::string header = req.get_header_value("Cookie");
  std::size_t at = 0;
  while (at < header.size()) {
    std::size_t end = header.find(';', at);
    if (end == std::string::npos) end = header.size();
    std::string pair = header.substr(at, end - at);
    while (!pair.empty() && pair.front() == ' ') pair.erase(0, 1);
    if (pair.compare(0, name.size() + 1, name + "=") == 0) return pair.substr(name.size() + 1);
    at = end + 1;
  }
  return {};
}

std::string param(const httplib::Request& req, const std::string& key) {
  return req.has_param(key.c_str()) ? req.get_param_value(key.c_str()) : std::string();
}

// A name as the service's log may show it: printable, at most 64 bytes.
std::string logged(const std::string& text) {
  return printable(text.size() > 64 ? text.substr(0, 64) + "..." : text);
}

const std::map<std::string, std::string>& contentTypes() {
  static const std::map<std::string, std::string> kTypes = {{".css", "text/css; charset=utf-8"},
                                                            {".js", "text/javascript; charset=utf-8"},
                                                            {".png", "image/png"},
                                                            {".svg", "image/svg+xml"}};
  return kTypes;
}

}  // namespace

LineServer::LineServer(Settings settings) : settings_(std::move(settings)) {}
LineServer::~LineServer() = default;

bool LineServer::prepare(std::string& error) {
  if (!accounts_.load(settings_.accountsPath, error)) return false;
  if (!tokens_.load(settings_.tokensPath, error)) return false;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(settings_.staticDir, ec)) {
    const auto type = contentTypes().find(entry.path().extension().string());
    if (type == contentTypes().end() || !entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    files_[entry.path().filename().string()] = {type->second, std::string(std::istreambuf_iterator<char>(file), {})};
  }
  if (ec || files_.count("line.js") == 0) {
    error = "The pages' files are not in " + settings_.staticDir + (ec ? ": " + ec.message() : "") + " (--static DIR).";
    return false;
  }
  if (tls()) {
    auto server = std::make_unique<httplib::SSLServer>(settings_.tlsCert.c_str(), settings_.tlsKey.c_str());
    if (!server->is_valid()) {
      error = "Cannot use the certificate " + settings_.tlsCert + " with the key " + settings_.tlsKey +
              ": both must be PEM files, the key unencrypted and readable by this service, and belong together.";
      return false;
    }
    server_ = std::move(server);
  } else {
    server_ = std::make_unique<httplib::Server>();
  }
  store_ = std::make_unique<LineStore>(settings_.historyUrl);
  if (!settings_.writerUrl.empty()) {
    writer_ = std::make_unique<LineStore>(settings_.writerUrl, LineStore::Access::Write);
    stationApi_ = std::make_unique<StationApi>(tokens_, *writer_);
  }
  const std::string feedUrl = LineStore::readOnlyUrl(settings_.historyUrl) +
                              "&connect_timeout=5&keepalives=1&keepalives_idle=10&keepalives_interval=5&keepalives_count=3";
  feed_ = std::make_unique<LiveFeed>(feedUrl, [this](const std::string& id) { return liveRowJson(id); });
  routes();
  return true;
}

bool LineServer::listen(std::string& error) {
  if (settings_.port == 0) {
    boundPort_ = server_->bind_to_any_port(settings_.host);
  } else if (server_->bind_to_port(settings_.host, settings_.port)) {
    boundPort_ = settings_.port;
  } else {
    boundPort_ = -1;
  }
  if (boundPort_ <= 0) {
    error = "Cannot listen on " + settings_.host + ":" + std::to_string(settings_.port) +
            " (in use, or an address this computer does not have).";
    return false;
  }
  std::cerr << "vestrel-line: serving " << (tls() ? "https" : "http") << "://" << settings_.host << ":" << boundPort_ << "/"
            << std::endl;
  return server_->listen_after_bind();
}

void LineServer::stop() {
  if (server_) server_->stop();
}

void LineServer::secure(Response& res) const {
  res.set_header("Content-Security-Policy", kContentSecurityPolicy);
  res.set_header("X-Content-Type-Options", "nosniff");
  res.set_header("X-Frame-Options", "DENY");
  res.set_header("Referrer-Policy", "same-origin");
  res.set_header("Cache-Control", "no-store");
  if (tls()) res.set_header("Strict-Transport-Security", "max-age=31536000");
}

void LineServer::fail(Response& res, const linepages::Viewer* viewer, int status, const std::string& title,
                      const std::string& text) {
  res.status = status;
  res.set_content(linepages::problem(viewer, title, text), "text/html; charset=utf-8");
}

// The session's viewer; without one, a page is sent to the sign-in (page) or refused.
std::optional<linepages::Viewer> LineServer::viewerOf(const Request& req, Response& res, bool page) {
  const auto session = sessions_.find(cookie(req, kSessionCookie), Sessions::Clock::now());
  if (!session) {
    if (page) {
      res.status = 303;
      res.set_header("Location", "/sign-in");
    } else {
      fail(res, nullptr, 401, "Not signed in", "Sign in first: this needs a session.");
    }
    return std::nullopt;
  }
  return linepages::Viewer{session->account, session->role, session->formToken,
                           viewerclock::offsetFrom(cookie(req, kOffsetCookie))};
}

// A request that came from the service's own pages: the browser's own word on where it came from
// (Sec-Fetch-Site, Origin) where it gives one.
bool LineServer::sameSite(const Request& req) const {
  const std::string site = req.get_header_value("Sec-Fetch-Site");
  if (!site.empty() && site != "same-origin" && site != "none") return false;
  const std::string origin = req.get_header_value("Origin");
  if (origin.empty()) return true;  // the form's token decides
  return origin == std::string(tls() ? "https://" : "http://") + req.get_header_value("Host");
}

void LineServer::get(const std::string& pattern, const Page& page, bool admin) {
  const bool api = pattern.rfind("/api/", 0) == 0;  // a script's request is refused, not sent on
  server_->Get(pattern, [this, page, admin, api](const Request& req, Response& res) {
    const auto viewer = viewerOf(req, res, !api);
    if (!viewer) return;
    if (admin && viewer->role != Accounts::Role::Admin)
      return fail(res, &*viewer, 403, "Not allowed", "Only an admin keeps the accounts and the stations' tokens.");
    page(req, res, *viewer);
  });
}

void LineServer::post(const std::string& pattern, const Page& page, bool admin) {
  server_->Post(pattern, [this, page, admin](const Request& req, Response& res) {
    if (req.body.size() > kMaxBodyBytes) return fail(res, nullptr, 413, "Not served", "The request is larger than this service takes.");
    const auto viewer = viewerOf(req, res, false);
    if (!viewer) return;
    if (!sameSite(req) || !Sessions::sameToken(param(req, "form_token"), viewer->formToken))
      return fail(res, &*viewer, 403, "Refused",
                  "This form did not come from this service's own page (or the page is older than the session): "
                  "nothing was changed. Open the page again and send the form from there.");
    if (admin && viewer->role != Accounts::Role::Admin)
      return fail(res, &*viewer, 403, "Not allowed", "Only an admin keeps the accounts and the stations' tokens.");
    page(req, res, *viewer);
  });
}

void LineServer::routes() {
  server_->new_task_queue = [] { return new httplib::ThreadPool(kThreads); };  // the library owns it
  // The station API's rows are larger than any form: each page's own bound is checked on its body.
  server_->set_payload_max_length(stationapi::kMaxRequestBytes);
  server_->set_post_routing_handler([this](const Request&, Response& res) { secure(res); });
  server_->set_error_handler([](const Request&, Response& res) {
    if (!res.body.empty()) return;
    const std::string text = res.status == 404   ? "There is no such page."
                             : res.status == 413 ? "The request is larger than this service takes."
                                                 : "The request could not be taken (HTTP " + std::to_string(res.status) + ").";
    res.set_content(linepages::problem(nullptr, "Not served", text), "text/html; charset=utf-8");
  });
  server_->Get("/", [](const Request&, Response& res) {
    res.status = 303;
    res.set_header("Location", "/now");
  });
  server_->Get(R"(/static/([a-z0-9.-]+))", [this](const Request& req, Response& res) {
    const auto file = files_.find(req.matches[1]);
    if (file == files_.end()) return fail(res, nullptr, 404, "Not found", "There is no such file.");
    res.set_content(file->second.second, file->second.first.c_str());
  });
  server_->Get("/sign-in", [this](const Request& req, Response& res) { signInPage(req, res, ""); });
  server_->Post("/sign-in", [this](const Request& req, Response& res) {
    if (req.body.size() > kMaxBodyBytes) return fail(res, nullptr, 413, "Not served", "The request is larger than this service takes.");
    signIn(req, res);
  });
  post("/sign-out", [this](const Request& req, Response& res, const linepages::Viewer&) { signOut(req, res); });
  get("/now", [this](const Request& req, Response& res, const linepages::Viewer& v) { nowPage(req, res, v); });
  get("/api/live", [this](const Request& req, Response& res, const linepages::Viewer& v) { liveJson(req, res, v); });
  get("/api/live/stream", [this](const Request& req, Response& res, const linepages::Viewer& v) { liveStream(req, res, v); });
  get("/history", [this](const Request& req, Response& res, const linepages::Viewer& v) { historyPage(req, res, v, false); });
  get("/history.csv", [this](const Request& req, Response& res, const linepages::Viewer& v) { historyPage(req, res, v, true); });
  get("/load", [this](const Request& req, Response& res, const linepages::Viewer& v) { loadPage(req, res, v); });
  get("/receiver", [this](const Request& req, Response& res, const linepages::Viewer& v) { receiverPage(req, res, v, false); });
  get("/receiver.csv", [this](const Request& req, Response& res, const linepages::Viewer& v) { receiverPage(req, res, v, true); });
  get("/figures", [this](const Request& req, Response& res, const linepages::Viewer& v) { figuresPage(req, res, v, false); });
  get("/figures.csv", [this](const Request& req, Response& res, const linepages::Viewer& v) { figuresPage(req, res, v, true); });
  get("/accounts", [this](const Request& req, Response& res, const linepages::Viewer& v) { accountsPage(req, res, v, ""); }, true);
  post("/accounts/put", [this](const Request& req, Response& res, const linepages::Viewer& v) { putAccount(req, res, v); }, true);
  get("/stations", [this](const Request& req, Response& res, const linepages::Viewer& v) { stationsPage(req, res, v, {}); }, true);
  post("/stations/issue", [this](const Request& req, Response& res, const linepages::Viewer& v) { issueToken(req, res, v); }, true);
  post("/stations/revoke", [this](const Request& req, Response& res, const linepages::Viewer& v) { revokeToken(req, res, v); }, true);
  server_->Post(R"(/api/station/v1/[a-z-]+)", [this](const Request& req, Response& res) { stationRequest(req, res); });
  post("/accounts/remove", [this](const Request& req, Response& res, const linepages::Viewer& v) { removeAccount(req, res, v); }, true);
}

void LineServer::signInPage(const Request&, Response& res, const std::string& problem) {
  const std::string token = Sessions::randomToken();
  res.set_header("Set-Cookie", std::string(kSignInCookie) + "=" + token + "; Path=/sign-in; HttpOnly; SameSite=Strict" +
                                   (tls() ? "; Secure" : ""));
  if (!problem.empty()) res.status = 403;
  res.set_content(linepages::signIn(problem, token), "text/html; charset=utf-8");
}

void LineServer::signIn(const Request& req, Response& res) {
  if (!sameSite(req) || !Sessions::sameToken(param(req, "form_token"), cookie(req, kSignInCookie)))
    return signInPage(req, res, "The sign-in form did not come from this service's own page: open it again and sign in there.");
  const std::string name = param(req, "account");
  if (const auto wait = throttle_.waitFor(req.remote_addr, SignInThrottle::Clock::now()); wait.count() > 0) {
    std::cerr << "vestrel-line: sign-in refused for account \"" << logged(name) << "\" from " << req.remote_addr
              << ": too many wrong passwords" << std::endl;
    signInPage(req, res, "Too many wrong passwords from this address: try again in " + std::to_string(wait.count()) +
                             " seconds.");
    res.status = 429;
    return;
  }
  Accounts::Account account;
  if (!accounts_.verify(name, param(req, "password"), account)) {
    throttle_.failed(req.remote_addr, SignInThrottle::Clock::now());
    std::cerr << "vestrel-line: sign-in refused for account \"" << logged(name) << "\" from " << req.remote_addr << std::endl;
    return signInPage(req, res, "The account or the password is wrong.");
  }
  throttle_.succeeded(req.remote_addr);
  std::cerr << "vestrel-line: " << logged(name) << " signed in from " << req.remote_addr << std::endl;
  const std::string token = sessions_.open(account, Sessions::Clock::now());
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=" + token + "; Path=/; HttpOnly; SameSite=Strict" +
                                   (tls() ? "; Secure" : ""));
  res.status = 303;
  res.set_header("Location", "/now");
}

void LineServer::signOut(const Request& req, Response& res) {
  sessions_.close(cookie(req, kSessionCookie));
  res.set_header("Set-Cookie", std::string(kSessionCookie) + "=; Path=/; Max-Age=0; HttpOnly; SameSite=Strict" +
                                   (tls() ? "; Secure" : ""));
  res.status = 303;
  res.set_header("Location", "/sign-in");
}

void LineServer::accountsPage(const Request&, Response& res, const linepages::Viewer& viewer, const std::string& notice) {
  res.set_content(linepages::accounts(viewer, accounts_.list(), notice), "text/html; charset=utf-8");
}

void LineServer::putAccount(const Request& req, Response& res, const linepages::Viewer& viewer) {
  const std::string name = param(req, "account");
  Accounts::Role role;
  std::string error;
  if (!Accounts::roleNamed(param(req, "role"), role)) error = "A role is viewer or admin.";
  else if (accounts_.put(name, role, param(req, "password"), error)) {
    sessions_.closeAccount(name);
    std::cerr << "vestrel-line: " << logged(viewer.account) << " saved the account " << logged(name) << " ("
              << Accounts::roleName(role) << ")" << std::endl;
    return accountsPage(req, res, viewer, "The account " + name + " was saved.");
  }
  res.status = 400;
  accountsPage(req, res, viewer, error + " Nothing was changed.");
}

void LineServer::removeAccount(const Request& req, Response& res, const linepages::Viewer& viewer) {
  const std::string name = param(req, "account");
  std::string error;
  if (name == viewer.account) error = "An admin cannot remove the account they are signed in with.";
  else if (accounts_.remove(name, error)) {
    sessions_.closeAccount(name);
    std::cerr << "vestrel-line: " << logged(viewer.account) << " removed the account " << logged(name) << std::endl;
    return accountsPage(req, res, viewer, "The account " + name + " was removed.");
  }
  res.status = 400;
  accountsPage(req, res, viewer, error + " Nothing was changed.");
}

void LineServer::stationsPage(const Request& req, Response& res, const linepages::Viewer& viewer,
                              linepages::StationsNotice notice) {
  notice.serviceUrl = std::string(tls() ? "https://" : "http://") + req.get_header_value("Host") + "/";
  notice.apiOn = stationApi_ != nullptr;
  res.set_content(linepages::stations(viewer, tokens_.list(), notice), "text/html; charset=utf-8");
}

void LineServer::issueToken(const Request& req, Response& res, const linepages::Viewer& viewer) {
  const std::string station = param(req, "station");
  std::string error;
  const std::string token = tokens_.issue(station, viewer.account, error);
  if (token.empty()) {
    res.status = 400;
    return stationsPage(req, res, viewer, {error + " Nothing was changed.", "", "", false});
  }
  std::cerr << "vestrel-line: " << logged(viewer.account) << " issued a token to the station " << logged(station) << std::endl;
  stationsPage(req, res, viewer, {"A token was issued to the station " + station + "; any token it had before no longer works.", token, "", false});
}

void LineServer::revokeToken(const Request& req, Response& res, const linepages::Viewer& viewer) {
  const std::string station = param(req, "station");
  std::string error;
  if (!tokens_.revoke(station, error)) {
    res.status = 400;
    return stationsPage(req, res, viewer, {error + " Nothing was changed.", "", "", false});
  }
  std::cerr << "vestrel-line: " << logged(viewer.account) << " revoked the token of the station " << logged(station) << std::endl;
  stationsPage(req, res, viewer, {"The token of the station " + station + " was revoked.", "", "", false});
}

// A station's request: its token decides which station it is; no session, no form token (a
// station is no browser: a request with a browser's cross-site marks is refused all the same).
void LineServer::stationRequest(const Request& req, Response& res) {
  const auto answer = [&res](int status, const std::string& json) {
    res.status = status;
    res.set_content(json, "application/json");
  };
  if (!stationApi_) return answer(404, R"({"error":"This line service takes no stations' rows (it was started without --writer-db)."})");
  if (!sameSite(req)) return answer(403, R"({"error":"A station's request does not come from a browser's page."})");
  const StationApi::Answer result = stationApi_->handle(req.path, req.get_header_value("Authorization"), req.body);
  if (result.status == 401 || result.status == 403)
    std::cerr << "vestrel-line: refused a station's request from " << req.remote_addr << " (" << result.status << ")" << std::endl;
  answer(result.status, result.json);
}
