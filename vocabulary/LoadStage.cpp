#include "LoadStage.h"

#include "NameTable.h"

namespace {

constexpr nametable::Table<LoadStage, 8> kNames = {{
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

const char* stageName(LoadStage stage) { return nametable::nameOf(kNames, stage, ""); }

std::optional<LoadStage> stageNamed(const std::string& name) { return nametable::valueOf(kNames, name); }
