#include "OutcomeKind.h"

#include "NameTable.h"

namespace {

constexpr nametable::Table<OutcomeKind, 5> kNames = {{
    {OutcomeKind::Confirmed, "confirmed"},
    {OutcomeKind::Unconfirmed, "unconfirmed"},
    {OutcomeKind::Failed, "failed"},
    {OutcomeKind::Aborted, "aborted"},
    {OutcomeKind::Refused, "refused"},
}};

}  // namespace

const char* outcomeName(OutcomeKind kind) { return nametable::nameOf(kNames, kind, "failed"); }

std::optional<OutcomeKind> outcomeNamed(const std::string& name) { return nametable::valueOf(kNames, name); }
