#include "HistorySyncRun.h"

#include <iostream>
#include <ostream>

#include "LineRows.h"
#include "PasswordInput.h"
#include "PendingRows.h"
#include "ServiceToken.h"

int runHistorySync(const HistorySettings& history, std::ostream& out, std::ostream& err) {
  std::string error;
  const auto server = LineRows::open(history.path, history.service, error);
  if (!server) {
    err << "vestrel: " << error << "\n";
    return 1;
  }
  const pendingrows::SendResult result = pendingrows::sendFromStation(*server);
  out << result.sent << (result.sent == 1 ? " row was" : " rows were") << " sent to the history server";
  if (result.alreadyThere > 0) out << "; " << result.alreadyThere << " it had already";
  out << ".\n";
  if (result.error.empty()) return 0;
  err << "vestrel: rows still wait for the server: " << result.error << "\n";
  return 1;
}

int runSaveHistoryToken(const std::string& url, std::ostream& err) {
  std::string token;
  const bool read = passwordinput::inputIsTerminal() ? passwordinput::promptPassword("Token for " + url + ": ", token)
                                                     : static_cast<bool>(std::getline(std::cin, token));
  if (!token.empty() && token.back() == '\r') token.pop_back();
  std::string error;
  if (!read || !servicetoken::save(url, token, error)) {
    err << "vestrel: the token was not kept: " << (read ? error : "nothing was typed.") << "\n";
    return 1;
  }
  err << "vestrel: the token for " << url << " is kept in this user's secret store.\n";
  return 0;
}
