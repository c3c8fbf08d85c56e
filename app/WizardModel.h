#pragma once
#include <string>
#include <vector>

#include "ConnectionKind.h"
#include "LoadMethod.h"
#include "PortTest.h"
#include "SourceKind.h"

class FirmwareImageSet;

// The wizard's lists and texts, without any widget.
namespace wizard {

template <typename T>
struct Choice {
  std::string text;
  T value;
};

std::vector<Choice<ConnectionKind>> connectionKinds(bool bluetoothAvailable);
std::vector<Choice<LoadMethod>> methodsFor(ConnectionKind kind);
std::vector<SpeedEntry> speedsFor(ConnectionKind kind);
std::vector<int> blockSizes();
constexpr int kDefaultBlockSize = 16384;
std::vector<Choice<SourceKind>> sourceKinds(LoadMethod method);
// The file dialog's filter, in Qt's form ("Description (*.a *.b)").
std::string fileFilter(SourceKind kind, LoadMethod method);

std::string connectionPageText();
std::string sourcePageText();
// The log box text that lists the chosen files.
std::string sourceListing(const FirmwareImageSet& set);
// The spinner's next text after the present one.
std::string nextSpinner(const std::string& present);
// "Vestrel", "Vestrel: port", "Vestrel: model at port".
std::string windowTitle(const std::string& base, const std::string& port, const std::string& model);

}  // namespace wizard
