#pragma once
#include <string>
#include <vector>

// What the fleet makes of a /port value: which receiver it reaches, how it may be shown and the
// name of its activity log.
namespace portnames {

// Two /port values with the same key reach the same receiver: a serial device by its real path
// ("COMn", "ttyUSB0" and links such as /dev/serial/by-id/... resolved), a TCP/IP host by its
// host (any case) and port, other links as written (any case).
std::string identityKey(const std::string& port);
// The port as the fleet shows it: a TCP/IP password left out.
std::string shownName(const std::string& port);
// One log file name per port, in the order given: the shown name with every character that is not
// a letter, a digit, '.', '-' or '_' made '_', "-2", "-3"... where two would be the same, ".log".
std::vector<std::string> logFileNames(const std::vector<std::string>& ports);

}  // namespace portnames
