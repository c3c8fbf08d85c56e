#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "PasswordInput.h"

namespace passwordinput {
namespace {

std::string withoutLineEnd(std::string line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  return line;
}

}  // namespace

bool readPasswordFile(const std::string& path, std::string& password, std::string& error) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    error = "Cannot read the password file " + path + ": " + std::strerror(errno) + ".";
    return false;
  }
  if ((st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    error = "The password file " + path + " may be read by others than its owner: make it private with \"chmod 600 " +
            path + "\".";
    return false;
  }
  std::ifstream in(path, std::ios::binary);
  std::string line;
  if (!in || !std::getline(in, line)) {
    error = "Cannot read the password file " + path + ": it is empty or unreadable.";
    return false;
  }
  password = withoutLineEnd(line);
  return true;
}

bool inputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

bool promptPassword(const std::string& prompt, std::string& password) {
  std::cerr << prompt << std::flush;
  termios saved {};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::string line;
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  password = withoutLineEnd(line);
  return got;
}

}  // namespace passwordinput
