#include "LoadStage.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<LoadStage, const char*>, 8> kNames = {{
    {LoadStage::Connecting, "connecting"},
    {LoadStage::Testing, "testing"},
    {LoadStage::Capturing, "capturing"},
    {LoadStage::Loading, "loading"},
    {LoadStage::Flashing, "flashing"},
    {LoadStage::Rebooting, "rebooting"},
    {LoadStage::Confirming, "confirming"},
    {LoadStage::Done, "done"},
}};

}  // namespace

const char* stageName(LoadStage stage) {
  for (const auto& [s, name] : kNames)
    if (s == stage) return name;
  return "";
}

std::optional<LoadStage> stageNamed(const std::string& name) {
  for (const auto& [s, text] : kNames)
    if (name == text) return s;
  return std::nullopt;
}
