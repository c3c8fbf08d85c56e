#pragma once
#include <string>
#include <vector>

#include "PortEntry.h"

// "--all": the /port values of the ports vestrel --list-ports --json shows, in its order, then the
// stored hosts and devices read from the store,
// those whose name or description matches the regular expression when one is given (a search,
// not a whole match). False with the reason when the list could not be had.
bool discoverPorts(const std::string& vestrel, const std::string& match, std::vector<std::string>& ports,
                   std::string& error);
// The stored hosts and devices whose name or description matches, as /port values, after those
// already there (each once).
void addStoredPorts(const std::vector<PortEntry>& stored, const std::string& match, std::vector<std::string>& ports);
// The same on a list's JSON text.
bool portsFromListing(const std::string& listing, const std::string& match, std::vector<std::string>& ports,
                      std::string& error);
