#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Files the operator names as input (a source, a digest list, a password file, a recording) are
// read only when they are regular files: a device (/dev/zero), a pipe or a socket would be read
// for ever, or block the program until something writes to it. Small text inputs are also read
// within a bound, so a huge file is refused instead of filling the memory.
namespace inputfile {

// "" when path names a regular file (links followed); else a sentence that says why what (for
// example "The digest list") cannot be read from it. Nothing is opened.
std::string notRegularFile(const std::string& path, const std::string& what);
// "" unless path names something that is there but is no regular file or folder (a device, a pipe,
// a socket); then why.
std::string special(const std::string& path, const std::string& what);

// The lines of a small text file, without their line ends: false with error set when it is no
// regular file, cannot be read, is larger than maxBytes or holds a line longer than maxLineBytes.
bool readLines(const std::string& path, const std::string& what, std::size_t maxBytes, std::size_t maxLineBytes,
               std::vector<std::string>& lines, std::string& error);

}  // namespace inputfile
