#include <windows.h>

#include <filesystem>
#include <fstream>
#include <iostream>

#include "PasswordInput.h"
#include "WindowsText.h"

namespace passwordinput {
namespace {

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

// Windows keeps who may read a file in its access list, which a user's own folder already
// restricts to that user: the file is read as it is.
bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
  std::ifstream in(std::filesystem::path(CMNC::windowstext::wide(path)), std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) {
    error = "Cannot read the password file " + path + ": it is missing, empty or unreadable.";
    return false;
  }
  password = withoutLineEnd(line);
  return true;
}

bool inputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool promptPassword(const std::string& prompt, std::string& password) {
  std::cerr << prompt << std::flush;
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool console = ::GetConsoleMode(input, &saved) != 0;
  if (console) ::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (console) ::SetConsoleMode(input, saved);
  std::cerr << "\n";
  password = withoutLineEnd(line);
  return got;
}

}  // namespace passwordinput
