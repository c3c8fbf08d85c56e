#include <windows.h>

#include <iostream>

#include "PasswordInput.h"
#include "WindowsText.h"

namespace passwordinput {

bool fileIsPrivate(const std::string&, std::string&) { return true; }

bool inputIsTerminal() {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

// A console's line is read as UTF-16 and turned into UTF-8: a password with characters outside
// the console's code page arrives whole. Redirected input is read as the bytes it holds.
bool readLineHidden(std::string& line) {
  const HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  if (::GetConsoleMode(input, &saved) == 0) return static_cast<bool>(std::getline(std::cin, line));
  ::SetConsoleMode(input, (saved | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  constexpr DWORD kMaxChars = 1024;
  std::wstring typed(kMaxChars, L'\0');
  DWORD read = 0;
  const bool got = ::ReadConsoleW(input, typed.data(), kMaxChars, &read, nullptr) != 0 && read > 0;
  ::SetConsoleMode(input, saved);
  typed.resize(read);
  while (!typed.empty() && (typed.back() == L'\n' || typed.back() == L'\r')) typed.pop_back();
  line = CMNC::windowstext::utf8(typed);
  return got;
}

}  // namespace passwordinput
