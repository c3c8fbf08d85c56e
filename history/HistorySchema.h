#pragma once
#include <string>
#include <vector>

// The history's schema, one step a version: step i brings version i to version i + 1.
namespace historyschema {
const std::vector<std::string>& migrations();
}
