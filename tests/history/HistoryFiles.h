#pragma once
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "LoadHistory.h"

// Opens (creating) a station's history file for a test; a failure fails the test with its reason.
inline std::unique_ptr<LoadHistory> openHistoryAt(const std::string& path) {
  std::string error;
  auto history = LoadHistory::open(path, error);
  EXPECT_TRUE(history) << error;
  return history;
}
