#pragma once
#include <string>

// Where a TCP/IP password can come from besides the command line. The shared part reads the file
// and prompts (PasswordInput.cpp); what differs by platform, whether a file is private, whether
// standard input is a terminal and how to read a line without echo, sits in
// PasswordInputPosix.cpp and PasswordInputWindows.cpp. Called on the main thread before any run
// starts.
namespace passwordinput {

// The first line of the file (without its line end). Refused, with the reason and the remedy,
// when others than its owner may read it.
bool readPasswordFile(const std::string& path, std::string& password, std::string& error);
// Standard input is a terminal someone can type at.
bool inputIsTerminal();
// Shows the prompt on standard error and reads one line from the terminal without echoing it.
// False when nothing could be read (end of input).
bool promptPassword(const std::string& prompt, std::string& password);

// The platform's parts.
// Only the file's owner may read it (Linux: no group or other permission bit; Windows keeps that
// in the file's access list, which a user's own folders already restrict: true).
bool fileIsPrivate(const std::string& path, std::string& error);
// One line from standard input with the terminal's echo off while it is typed.
bool readLineHidden(std::string& line);

}  // namespace passwordinput
