#pragma once
#include <algorithm>
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
  // Whether the receiver got the command; a command sent last may still be on its way.
  bool sent(const std::string& command) const {
    return eventually([&] {
      const std::vector<std::string> commands = receiver->commands();
      return std::find(commands.begin(), commands.end(), command) != commands.end();
    });
  }
  TempDir dir;
  sample::Options options;
  EngineHarness h;
};
