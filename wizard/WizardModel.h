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

// A port named on the command line as the program reads it: "COMn" in capitals, and a link's
// prefix ("TCP:", "Usb:", "BT:") in lower case, so that no form of it passes for a serial device
// (and shows its password).
std::string normalisedPortName(const std::string& port);
// The kind of link a port named on the command line stands for ("tcp:", "usb:", "bt:" prefixes).
ConnectionKind kindOfPortName(const std::string& port);
// A port named on the command line as it may be shown: a TCP/IP password is left out.
std::string displayPortName(const std::string& port);
// The address the port's Open receives for a port named on the command line.
std::string addressOfPortName(const std::string& port);

}  // namespace wizard
