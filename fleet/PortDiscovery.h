#pragma once
#include <string>
#include <vector>

// "--all": the /port values of the ports vestrel --list-ports --json shows, in its order,
// those whose name or description matches the regular expression when one is given (a search,
// not a whole match). False with the reason when the list could not be had.
bool discoverPorts(const std::string& vestrel, const std::string& match, std::vector<std::string>& ports,
                   std::string& error);
// The same on a list's JSON text.
bool portsFromListing(const std::string& listing, const std::string& match, std::vector<std::string>& ports,
                      std::string& error);
