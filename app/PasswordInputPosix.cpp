#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>

#include "PasswordInput.h"

namespace passwordinput {

bool fileIsPrivate(const std::string& path, std::string& error) {
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
  return true;
}

bool inputIsTerminal() { return ::isatty(STDIN_FILENO) != 0; }

bool readLineHidden(std::string& line) {
  termios saved {};
  const bool terminal = ::tcgetattr(STDIN_FILENO, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool got = static_cast<bool>(std::getline(std::cin, line));
  if (terminal) ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
  return got;
}

}  // namespace passwordinput
