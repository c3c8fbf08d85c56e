#pragma once
#include <ostream>
#include <string>

#include "EngineSession.h"
#include "LoadJob.h"

// "--identify": asks the receiver on the job's port who it is (model, identity, hardware version,
// board, main firmware, the speed it answered at) through the engine, without loading anything,
// switching its rate or setting anything in it. Prints the answer as text or as one JSON object
// {"port","found","model","id","hardware","board","firmware","rate"} (null for what was not
// answered; {"port","found":false,"reason"} when nothing answered). Returns the exit status: 0
// when a receiver answered, 1 when none did, 128 + the signal when a stop signal ended it.
int runIdentify(EngineSession& session, const LoadJob& job, bool json, std::ostream& out);
