#pragma once
#include <string>

// Where a TCP/IP password can come from besides the command line, one implementation per
// platform (PasswordInputPosix.cpp, PasswordInputWindows.cpp). Called on the main thread before
// any run starts.
namespace passwordinput {

// The first line of the file (without its line end). Refused, with the reason and the remedy,
// when others than its owner may read it (Linux: any group or other permission bit).
bool readPasswordFile(const std::string& path, std::string& password, std::string& error);
// Standard input is a terminal someone can type at.
bool inputIsTerminal();
// Shows the prompt on standard error and reads one line from the terminal without echoing it.
// False when nothing could be read (end of input).
bool promptPassword(const std::string& prompt, std::string& password);

}  // namespace passwordinput
