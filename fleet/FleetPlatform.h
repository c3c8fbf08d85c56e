#pragma once
#include <string>
#include <vector>

// What the fleet's start-up asks of its platform.
namespace fleetplatform {

// First thing at start: on Windows, libraries loaded by name come from the system's folder only,
// never from the working folder or PATH (a planted DLL); nothing to do elsewhere.
void restrictLibrarySearch();
// The vestrel program's file name ("vestrel", "vestrel.exe").
extern const char* const kVestrelName;
// The separator of the PATH's folders.
extern const char kPathSeparator;
// The folder the running vestrel-fleet is in; empty when unknown.
std::string selfFolder();
// The file exists and may be run.
bool isProgram(const std::string& path);
// The command line as UTF-8 texts, without the program's name.
std::vector<std::string> arguments(int argc, char** argv);
// The stream (standard output, or standard error when errorStream) is a terminal that takes the
// live table's control sequences; on Windows the console is asked to take them.
bool isTerminal(bool errorStream);

}  // namespace fleetplatform
