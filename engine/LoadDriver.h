#pragma once
#include "RunState.h"

#include <string>

class LoadWorker;

// A set read and checked, ready to go to the receiver.
struct PreparedSet {
  bool numberedSet = false;
  RunState rs;
};

// The default worker procedure: reads the chosen images, checks the set, runs the path of the
// loading method, waits for the receiver's reboot and reports the outcome. After a load that
// worked and a receiver that is back, firmwareAfter (when given) receives the version the running
// firmware reports; it stays empty when the receiver does not answer.
void loadDriver(LoadWorker& w, std::string* firmwareAfter = nullptr);

// The driver's two halves. prepareSet reads every chosen image and checks the set, before anything
// is sent to the receiver: false when the run ended there (reported). loadSet sends the set.
bool prepareSet(LoadWorker& w, PreparedSet& prepared);
void loadSet(LoadWorker& w, PreparedSet& prepared, std::string* firmwareAfter = nullptr);

// Reads every chosen image into the set. False when the run already ended (reported).
bool readImages(LoadWorker& w, bool numberedSet, RunState& rs);
