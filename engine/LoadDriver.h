#pragma once
#include "RunState.h"

#include <string>

class LoadWorker;

// The default worker procedure: reads the chosen images, checks the set, runs the path of the
// loading method, waits for the receiver's reboot and reports the outcome. After a load that
// worked and a receiver that is back, firmwareAfter (when given) receives the version the running
// firmware reports; it stays empty when the receiver does not answer.
void loadDriver(LoadWorker& w, std::string* firmwareAfter = nullptr);

// Reads every chosen image into the set. False when the run already ended (reported).
bool readImages(LoadWorker& w, bool numberedSet, RunState& rs);
