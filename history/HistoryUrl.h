#pragma once
#include <string>

// The place of a load history as the operator names it: a file's path, or the URL of the line's
// server (postgresql://USER@HOST[:PORT]/DB[?...]).
namespace historyurl {
// Whether place names a server: it begins with postgresql:// or postgres:// (any case).
bool isServerUrl(const std::string& place);
// What is wrong with a server's URL; "" when nothing. A password in it (USER:PASSWORD@ or
// ?password=) is refused: a command line and the environment can be read by others.
std::string problem(const std::string& url);
}  // namespace historyurl
