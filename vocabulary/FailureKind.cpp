#include "FailureKind.h"

#include <array>
#include <utility>

namespace {

constexpr std::array<std::pair<FailureKind, const char*>, 12> kKinds = {{
    {FailureKind::None, ""},
    {FailureKind::LinkLost, "link_lost"},
    {FailureKind::ReceiverSilent, "receiver_silent"},
    {FailureKind::BootLoaderNotCaught, "boot_loader_not_caught"},
    {FailureKind::RefusedByReceiver, "refused_by_receiver"},
    {FailureKind::WrongHardware, "wrong_hardware"},
    {FailureKind::SourceRefused, "source_refused"},
    {FailureKind::PortUnavailable, "port_unavailable"},
    {FailureKind::StoppedByOperator, "stopped_by_operator"},
    {FailureKind::StoppedBySignal, "stopped_by_signal"},
    {FailureKind::Unconfirmed, "unconfirmed"},
    {FailureKind::Other, "other"},
}};

constexpr std::array<std::pair<ImageResult, const char*>, 6> kResults = {{
    {ImageResult::NotReached, "not_reached"},
    {ImageResult::Sent, "sent"},
    {ImageResult::Flashed, "flashed"},
    {ImageResult::Stored, "stored"},
    {ImageResult::Refused, "refused"},
    {ImageResult::Failed, "failed"},
}};

constexpr std::array<std::pair<FailureKind, const char*>, 12> kKindWords = {{
    {FailureKind::None, ""},
    {FailureKind::LinkLost, "link lost"},
    {FailureKind::ReceiverSilent, "the receiver is silent"},
    {FailureKind::BootLoaderNotCaught, "the boot loader was not caught"},
    {FailureKind::RefusedByReceiver, "refused by the receiver"},
    {FailureKind::WrongHardware, "wrong hardware"},
    {FailureKind::SourceRefused, "the source is refused"},
    {FailureKind::PortUnavailable, "the port cannot be used"},
    {FailureKind::StoppedByOperator, "stopped by the operator"},
    {FailureKind::StoppedBySignal, "stopped by a signal"},
    {FailureKind::Unconfirmed, "not confirmed"},
    {FailureKind::Other, "failed"},
}};

constexpr std::array<std::pair<ImageResult, const char*>, 6> kResultWords = {{
    {ImageResult::NotReached, "not reached"},
    {ImageResult::Sent, "sent, its flash not acknowledged"},
    {ImageResult::Flashed, "flashed"},
    {ImageResult::Stored, "stored"},
    {ImageResult::Refused, "refused"},
    {ImageResult::Failed, "failed"},
}};

template <typename T, std::size_t N>
const char* nameIn(const std::array<std::pair<T, const char*>, N>& table, T value, const char* otherwise) {
  for (const auto& [v, name] : table)
    if (v == value) return name;
  return otherwise;
}

template <typename T, std::size_t N>
std::optional<T> valueIn(const std::array<std::pair<T, const char*>, N>& table, const std::string& name) {
  for (const auto& [v, text] : table)
    if (name == text) return v;
  return std::nullopt;
}

}  // namespace

const char* failureKindName(FailureKind kind) { return nameIn(kKinds, kind, "other"); }
std::optional<FailureKind> failureKindNamed(const std::string& name) {
  if (name.empty()) return std::nullopt;
  return valueIn(kKinds, name);
}
const char* imageResultName(ImageResult result) { return nameIn(kResults, result, "not_reached"); }
const char* failureKindWords(FailureKind kind) { return nameIn(kKindWords, kind, "failed"); }
const char* imageResultWords(ImageResult result) { return nameIn(kResultWords, result, "not reached"); }
std::optional<ImageResult> imageResultNamed(const std::string& name) { return valueIn(kResults, name); }

std::string imagesDoneText(std::size_t done, std::size_t total, bool stored) {
  return std::to_string(done) + " of " + std::to_string(total) + (stored ? " stored" : " flashed");
}
