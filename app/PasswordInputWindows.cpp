#include <windows.h>

#include <iostream>

#include "PasswordInput.h"

namespace passwordinput {

bool fileIsPrivate(const std::string&, std::string&) { return true; }

bool inputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

bool readLineHidden(std::string& line) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool console = ::GetConsoleMode(input, &saved) != 0;
  if (console) ::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (console) ::SetConsoleMode(input, saved);
  return got;
}

}  // namespace passwordinput
