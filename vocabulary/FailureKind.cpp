#include "FailureKind.h"

#include "NameTable.h"

namespace {

constexpr nametable::Table<FailureKind, 13> kKinds = {{
    {FailureKind::None, ""},
    {FailureKind::LinkLost, "link_lost"},
    {FailureKind::ReceiverSilent, "receiver_silent"},
    {FailureKind::BootLoaderNotCaught, "boot_loader_not_caught"},
    {FailureKind::RefusedByReceiver, "refused_by_receiver"},
    {FailureKind::WrongHardware, "wrong_hardware"},
    {FailureKind::WrongReceiver, "wrong_receiver"},
    {FailureKind::SourceRefused, "source_refused"},
    {FailureKind::PortUnavailable, "port_unavailable"},
    {FailureKind::StoppedByOperator, "stopped_by_operator"},
    {FailureKind::StoppedBySignal, "stopped_by_signal"},
    {FailureKind::Unconfirmed, "unconfirmed"},
    {FailureKind::Other, "other"},
}};

constexpr nametable::Table<ImageResult, 6> kResults = {{
    {ImageResult::NotReached, "not_reached"},
    {ImageResult::Sent, "sent"},
    {ImageResult::Flashed, "flashed"},
    {ImageResult::Stored, "stored"},
    {ImageResult::Refused, "refused"},
    {ImageResult::Failed, "failed"},
}};

constexpr nametable::Table<FailureKind, 13> kKindWords = {{
    {FailureKind::None, ""},
    {FailureKind::LinkLost, "link lost"},
    {FailureKind::ReceiverSilent, "the receiver is silent"},
    {FailureKind::BootLoaderNotCaught, "the boot loader was not caught"},
    {FailureKind::RefusedByReceiver, "refused by the receiver"},
    {FailureKind::WrongHardware, "wrong hardware"},
    {FailureKind::WrongReceiver, "not the receiver the order names"},
    {FailureKind::SourceRefused, "the source is refused"},
    {FailureKind::PortUnavailable, "the port cannot be used"},
    {FailureKind::StoppedByOperator, "stopped by the operator"},
    {FailureKind::StoppedBySignal, "stopped by a signal"},
    {FailureKind::Unconfirmed, "not confirmed"},
    {FailureKind::Other, "failed"},
}};

constexpr nametable::Table<ImageResult, 6> kResultWords = {{
    {ImageResult::NotReached, "not reached"},
    {ImageResult::Sent, "sent, its flash not acknowledged"},
    {ImageResult::Flashed, "flashed"},
    {ImageResult::Stored, "stored"},
    {ImageResult::Refused, "refused"},
    {ImageResult::Failed, "failed"},
}};

}  // namespace

const char* failureKindName(FailureKind kind) { return nametable::nameOf(kKinds, kind, "other"); }
std::optional<FailureKind> failureKindNamed(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return nametable::valueOf(kKinds, name);
}
const char* imageResultName(ImageResult result) { return nametable::nameOf(kResults, result, "not_reached"); }
const char* failureKindWords(FailureKind kind) { return nametable::nameOf(kKindWords, kind, "failed"); }
const char* imageResultWords(ImageResult result) { return nametable::nameOf(kResultWords, result, "not reached"); }
std::optional<ImageResult> imageResultNamed(const std::string& name) { return nametable::valueOf(kResults, name); }

std::string imagesDoneText(std::size_t done, std::size_t total, bool stored) {
  return std::to_string(done) + " of " + std::to_string(total) + (stored ? " stored" : " flashed");
}
