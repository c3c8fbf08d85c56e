#pragma once
#include <string>
#include <vector>

#include "EngineHarness.h"
#include "SampleFirmware.h"
#include "SimFixture.h"
#include "TempDir.h"

// A virtual receiver, the sample firmware distribution in a temporary folder and an engine run.
class SampleFixture : public SimFixture {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(sample::writeDistribution(dir.path(), options, error)) << error;
  }
  static std::vector<uint8_t> image(const std::vector<sample::Entry>& set, const std::string& name) {
    for (const auto& e : set)
      if (e.first == name) return e.second;
    return {};
  }
  bool sent(const std::string& command) const {
    for (const std::string& c : receiver->commands())
      if (c == command) return true;
    return false;
  }
  TempDir dir;
  sample::Options options;
  EngineHarness h;
};
