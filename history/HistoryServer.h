#pragma once
#include <memory>
#include <string>

#include "HistoryDb.h"

namespace CMNC {
class AbortSignal;
}

// The line's history server, where this build has one (HistoryServerPg.cpp on Linux,
// HistoryServerNone.cpp on Windows).
namespace historyserver {
// Whether this build can keep the load history on a server.
bool supported();
// Connects to the server at url (no password in it); nullptr with error set when the server cannot
// be reached or refuses the connection. Blocks up to the connection's time-out.
// A set stop ends the connection's waits at once.
std::unique_ptr<HistoryDb> connect(const std::string& url, std::string& error, const CMNC::AbortSignal* stop = nullptr);
// Whether the server's client library, reading url as it would to connect, finds a password in it
// (however it is spelt or percent-encoded); unreadable is set, with why, when it cannot read url.
bool holdsPassword(const std::string& url, std::string& unreadable);
}  // namespace historyserver
