#pragma once
#include <string>

namespace CMNC {

// The system's message for an errno value.
std::string SystemMessage(int err);

}  // namespace CMNC
