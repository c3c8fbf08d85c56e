#pragma once
#include "RunState.h"

class LoadWorker;

// The default worker procedure: reads the chosen images, checks the set, runs the path of the
// loading method, waits for the receiver's reboot and reports the outcome.
void loadDriver(LoadWorker& w);

// Reads every chosen image into the set. False when the run already ended (reported).
bool readImages(LoadWorker& w, bool numberedSet, RunState& rs);
