#pragma once
#include <string>

// Whether a receiver's version field ("4.3 Dec,08,2026") names the version expected ("4.3"): the
// field begins with the expected text, which then ends at a space or at the field's end, so "4.3"
// is neither "4.31 Jan,01,2027" nor "4.3-rc1". An empty expectation names no version.
bool versionMatches(const std::string& field, const std::string& expected);
