#pragma once
#include <ostream>
#include <vector>

#include "PortEntry.h"
#include "SystemProbe.h"

// "--check": checks each port, one line a finding, and returns the exit status: 0 when every port
// can be used, 1 when one cannot or there is none.
int runPortCheck(const std::vector<PortEntry>& ports, const CMNC::SystemProbe& probe, std::ostream& out);
