#pragma once
#include <string>
#include <vector>

// The history's schema, one step a version: step i brings version i to version i + 1. The steps
// are the same for a station's file and for the line's server but where a dialect ("sqlite",
// "postgresql") needs its own SQL.
namespace historyschema {
std::vector<std::string> migrations(const std::string& dialect);
}
