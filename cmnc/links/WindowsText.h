#pragma once
#include <string>
#include <vector>

// Texts between the loader (UTF-8) and the Windows API (UTF-16), and the system's messages.
namespace CMNC::windowstext {

std::wstring wide(const std::string& utf8);
std::string utf8(const std::wstring& wide);
// The system's message for an error code, as the system returns it (line break included),
// from the system message table in the default language.
std::string systemMessage(unsigned long code);
// The same without its line break, for a message that goes on in the same line.
std::string systemMessageLine(unsigned long code);
// The program's command line as UTF-8 texts, without the program's name.
std::vector<std::string> commandLineArguments();

}  // namespace CMNC::windowstext
