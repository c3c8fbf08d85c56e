#pragma once
#include "RunState.h"

class LoadWorker;

// Catches the receiver's boot loader: floods the capture pattern until it answers NAK,
// resetting the receiver through its command language every 10 s, for at most 45 s; then the
// ACK/NAK handshake.
void captureBootLoader(LoadWorker& w, RunState& rs);
bool waitForBootLoader(LoadWorker& w);
bool bootHandshake(LoadWorker& w);
