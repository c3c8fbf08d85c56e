#pragma once
#include <string>

// The place of a load history as the operator names it: a file's path, or the URL of the line's
// server (postgresql://USER@HOST[:PORT]/DB[?...]), or the URL of the line service that takes a
// station's rows over HTTPS (https://HOST[:PORT]/).
namespace historyurl {
// Whether place names a server or a service rather than a file.
bool isServerUrl(const std::string& place);
// Whether place names the line's PostgreSQL server: postgresql:// or postgres:// (any case).
bool isDatabaseUrl(const std::string& place);
// Whether place names the line service: https:// (or http://, which problem refuses).
bool isServiceUrl(const std::string& place);
// What is wrong with a server's or a service's URL; "" when nothing. A password in it (USER:PASSWORD@ or
// ?password=) is refused: a command line and the environment can be read by others.
std::string problem(const std::string& url);
}  // namespace historyurl
