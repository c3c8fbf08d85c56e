#pragma once
#include <ostream>
#include <vector>

#include "PortEntry.h"
#include "SystemProbe.h"

// "--check": checks each port and returns the exit status: 0 when every port can be used, 1 when
// one cannot or there is none. As text one line a finding; with json one array of findings
// {"port","check","result","text","remedy"}.
int runPortCheck(const std::vector<PortEntry>& ports, const CMNC::SystemProbe& probe, bool json, std::ostream& out);
