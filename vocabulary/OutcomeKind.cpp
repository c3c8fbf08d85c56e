#include "OutcomeKind.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<OutcomeKind, const char*>, 5> kNames = {{
    {OutcomeKind::Confirmed, "confirmed"},
    {OutcomeKind::Unconfirmed, "unconfirmed"},
    {OutcomeKind::Failed, "failed"},
    {OutcomeKind::Aborted, "aborted"},
    {OutcomeKind::Refused, "refused"},
}};

}  // namespace

const char* outcomeName(OutcomeKind kind) {
  for (const auto& [k, name] : kNames)
    if (k == kind) return name;
  return "failed";
}

std::optional<OutcomeKind> outcomeNamed(const std::string& name) {
  for (const auto& [k, text] : kNames)
    if (name == text) return k;
  return std::nullopt;
}
