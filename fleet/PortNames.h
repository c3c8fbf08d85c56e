#pragma once
#include <map>
#include <string>
#include <vector>

// What the fleet makes of a /port value: which receiver it reaches, how it may be shown, the name
// of its activity log and the environment its child gets.
namespace portnames {

// TCP/IP passwords by the port's canonical text; they reach a child through its environment only.
using Passwords = std::map<std::string, std::string>;

// The port as the fleet shows it: a TCP/IP password left out.
std::string shownName(const std::string& port);
// The two texts name the same port: the same canonical text, or the same device (a serial
// device by its device number, USB by its bus path, Bluetooth by its address). Never looks up
// a name: a child's result is matched against the port the fleet gave it.
bool samePort(const std::string& a, const std::string& b);
// "" when no two ports reach the same receiver (a TCP/IP host by its resolved addresses and port),
// else the error naming the two, or the port that cannot be told apart with the reason.
std::string checkDistinct(const std::vector<std::string>& ports);
// One log file name per port, in the order given: the shown name with every character that is not
// a letter, a digit, '.', '-' or '_' made '_', "-2", "-3"... where two would be the same, ".log".
std::vector<std::string> logFileNames(const std::vector<std::string>& ports);
// What a child for the port adds to its environment: the port's password, when it has one.
std::vector<std::string> childEnvironment(const Passwords& passwords, const std::string& port);

}  // namespace portnames
