#pragma once
#include <string>
#include <vector>

#include "ConnectionKind.h"
#include "ImageFacts.h"
#include "LoadMethod.h"
#include "PortEntry.h"
#include "PortTest.h"
#include "RunOutcome.h"
#include "SourceKind.h"

class FirmwareImageSet;

// The wizard's lists and texts, without any widget.
namespace wizard {

template <typename T>
struct Choice {
  std::string text;
  T value;
  std::string unusable = {};  // why it cannot be chosen here; empty when it can
};

// Every kind of link; one that needs an adapter this computer lacks says so in unusable.
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
// What the source page says of each image read (its size, the hardware it was built for, a
// loader's version) and, once the port test ran, what the receiver runs now.
std::string imageDetails(const std::vector<ImageFacts>& images, const std::string& receiverFirmware,
                         const std::string& receiverHardware);
// "Step 2 of 3: Source": where the operator is; page 0, 1 or 2.
std::string stepText(int page);
// A port as the port box lists it: its description, or its name when it has none (a built-in
// serial port).
std::string portItemText(const PortEntry& port);
// The result panel's first line: "Loaded and confirmed.", "Loaded, not confirmed.", "Failed: link
// lost.", "Stopped."; then the images' count and the remedy, each on a line of its own.
std::string resultPanelText(const RunOutcome& outcome);
// The spinner's next text after the present one.
std::string nextSpinner(const std::string& present);
// "Vestrel", "Vestrel: port", "Vestrel: model at port".
std::string windowTitle(const std::string& base, const std::string& port, const std::string& model);

}  // namespace wizard
