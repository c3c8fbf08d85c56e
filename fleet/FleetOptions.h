#pragma once
#include <string>
#include <vector>

#include "PortNames.h"

// The fleet's command line:
//   vestrel-fleet (--port P)... | --all [--match REGEX]  [--log-dir DIR] [--jobs N] [--json]
//                 [--vestrel PATH] [--allow-unconfirmed] [--skip-current] [--expect-version TEXT]
//                 -- <vestrel options>
//   vestrel-fleet --identify (--port P)... | --all [--match REGEX] [--jobs N] [--json] [-- /speed N]
struct FleetOptions {
  std::vector<std::string> ports;    // canonical texts, without passwords
  portnames::Passwords passwords;    // the passwords --port texts carried
  bool passwordInArguments = false;  // one did: warned about, and blanked in the fleet's arguments
  bool all = false;
  std::string match;                 // with --all: a regular expression on name or description
  std::string logDir = "vestrel-logs";
  std::string recordDir;             // --record-dir: each receiver's exchange recorded there
  int jobs = 0;                      // how many run at once; 0: all
  bool json = false;
  std::string vestrel;               // the vestrel program; empty: found beside the fleet
  bool allowUnconfirmed = false;     // a load the receiver did not confirm counts as loaded
  bool identify = false;             // --identify: an inventory of the ports, nothing loaded
  bool skipCurrent = false;          // --skip-current: a receiver already running expectVersion is not loaded
  std::string expectVersion;         // --expect-version: passed on to every load
  std::string receiversFile;         // --receivers: the receivers an order names (ReceiverList)
  int retries = 0;                   // --retry N: a failed load is tried again up to N times
  std::vector<std::string> vestrelArgs;  // what follows "--"
  bool help = false;
  bool version = false;

  // Whether the vestrel options ask for a power-on capture.
  bool powerOnCapture() const;
  // Whether the loads go through the receiver's boot loader (Soft Break or Power On Capture).
  bool bootLoaderCapture() const;
};

// Reads the command line (without the program's name) into options; "" when it is usable, else
// what is wrong with it, for the usage error.
std::string parseFleetOptions(const std::vector<std::string>& args, FleetOptions& options);
// The fleet's --help text.
const char* fleetUsage();
