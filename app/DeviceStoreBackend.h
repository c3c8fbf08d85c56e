#pragma once
#include <string>
#include <utility>
#include <vector>

#include "PortEntry.h"

// Where the stored devices live, one implementation per platform (DeviceStoreFile.cpp: the
// settings file; DeviceStoreRegistry.cpp: the registry). A group ("hosts", "bluetooth") holds
// "count", "<addressKey><i>" and "name<i>".
namespace devicestore::backend {

// The group's entries as address and name, in stored order (at most 10000).
std::vector<std::pair<std::string, std::string>> read(const char* group, const char* addressKey);
// Replaces the group with the entries' addresses and descriptions.
void write(const char* group, const char* addressKey, const std::vector<PortEntry>& entries);

constexpr int kMaxEntries = 10000;

}  // namespace devicestore::backend
