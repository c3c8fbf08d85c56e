#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LoadMethod.h"

class LoadWorker;

// One speed the port test tries.
struct SpeedEntry {
  std::string text;
  int speed = 0;
};

// What the port test is given and what it finds. The session owns it; the worker writes the
// results, which are read only after the worker has been stopped.
struct PortTestSetup {
  std::vector<SpeedEntry> speeds;  // the selected speed first, then the wizard's list
  LoadMethod method = LoadMethod::SoftBreakCapture;
  std::string currentPort;         // the receiver's name for the port it talks on
  std::string model;
  std::string mainFirmware;        // the running firmware's version, as the receiver tells it
  std::string board;
  std::string identity;            // its serial number
  std::string hardware;            // its hardware version
  int answeredRate = 0;            // the line rate it answered at (bit/s)
  bool portBPowerSlots = false;
};

// Asks the running firmware for its version; empty when it does not answer.
std::string askMainFirmware(LoadWorker& w);

// The worker procedure of "Test": finds the speed the receiver answers at, switches it to the
// selected speed, reads its identity and applies the power-slot and cable rules.
void portTestProcedure(LoadWorker& w, PortTestSetup& setup);

// The worker procedure of "--identify": the port test's probe and identity questions only. It
// finds the speed the receiver answers at, trying setup.speeds in turn, but never switches the
// receiver's own rate nor sends any "set".
void identifyProcedure(LoadWorker& w, PortTestSetup& setup);
