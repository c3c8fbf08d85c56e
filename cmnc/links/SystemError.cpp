#include "SystemError.h"

#include <system_error>

namespace CMNC {

std::string SystemMessage(int err) { return std::generic_category().message(err); }

}  // namespace CMNC
