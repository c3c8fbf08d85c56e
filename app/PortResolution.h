#pragma once
#include <functional>
#include <string>
#include <vector>

#include "LoadJob.h"
#include "PortEntry.h"

// Where a TCP/IP password may come from besides the port's own text.
struct PasswordSources {
  std::string file;                   // "--password-file FILE": its first line
  const char* environment = nullptr;  // VESTREL_TCP_PASSWORD; null when it is not set
  bool mayPrompt = false;             // ask without echo: standard input is a terminal and a receiver is to be reached
};

// The stored hosts and devices of a kind (the set-up dialogs' lists).
using StoredPorts = std::function<std::vector<PortEntry>(ConnectionKind)>;

// Resolves what "/port" named, in this order: a link's prefixed form ("tcp:", "usb:", "bt:", in any
// case); else the exact description (case counts) of a stored host or device, used with its stored
// settings; else a serial device's name or path. A TCP/IP port takes its password from, first
// found: the text's ":PASSWORD" (with a warning: other users can see a command line), the
// password file, the environment, the stored host with that host and port, a prompt. Fills
// job.port (the canonical text without a password, or the stored description), job.connection
// and job.portEntry (whose address holds the password). False with the reason when the port or
// the password file is unusable.
bool resolveJobPort(LoadJob& job, const StoredPorts& stored, const PasswordSources& sources, std::string& error,
                    std::vector<std::string>& warnings);

// The entry of the port a job names: the resolved one, else parsed from job.port as written
// (the password it carries included). False with the reason when it cannot be parsed.
bool entryOfJob(const LoadJob& job, PortEntry& entry, std::string& error);
