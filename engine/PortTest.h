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
  bool portBPowerSlots = false;
};

// Asks the running firmware for its version; empty when it does not answer.
std::string askMainFirmware(LoadWorker& w);

// The worker procedure of "Test": finds the speed the receiver answers at, switches it to the
// selected speed, reads its identity and applies the power-slot and cable rules.
void portTestProcedure(LoadWorker& w, PortTestSetup& setup);
