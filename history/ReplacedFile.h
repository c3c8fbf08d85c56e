#pragma once
#include <string>

// A file written whole or not at all: the content goes into a new file beside it, which then takes
// its name, so a reader (or a crash, or a full disk) never meets half a file and the old file
// stays until the new one is complete.
namespace replacedfile {

// Writes content as path; false with error set (the old file, if any, untouched).
bool write(const std::string& path, const std::string& content, std::string& error);

// Whether two paths name the same file (also through links, or as two spellings of one path);
// false when either does not exist.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace replacedfile
