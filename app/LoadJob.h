#pragma once
#include <cstdint>
#include <string>

#include "ConnectionKind.h"
#include "LoadMethod.h"
#include "LineRows.h"
#include "OrderFields.h"
#include "PortEntry.h"
#include "SourceDigest.h"
#include "SourceSignature.h"

// Where a run's row of the load history goes, and what it says of the program.
struct HistorySettings {
  bool enabled = false;     // off unless the program turns it on ("--no-history" keeps it off)
  bool required = false;    // "--history-required": no load without its row
  std::string path;         // "--history-db" (a file, the line's server or service), else the station's own file
  ServiceAccess service;    // the line service's token and the certificate trusted for it ("--history-ca")
  std::string tokenFile;    // "--history-token-file": where the token is read from
  std::string commandLine;  // the program's command line, passwords masked
  std::string toolVersion;
  std::string logPath;      // the activity log's file by its absolute path, when one was opened
  OrderFields order;        // the receiver, work order, operator and lot the load was made for
  std::string signerKey;    // the trusted key that signed the source (its id), once checked
  std::string signerComment;  // the signature's trusted comment
};

// The operator's settings, filled from the command line and the wizard's pages. The wizard turns
// them into the engine's requests when a test or a load starts.
struct LoadJob {
  bool run = false;           // an unattended run is in progress
  std::string recordFile;     // "--record": every exchange at the port boundary goes there
  bool exitWhenDone = false;  // close the program after a successful load
  std::string source;         // path of the firmware source
  std::string port;           // port as named: its canonical text (never a password) or a stored description
  PortEntry portEntry;        // the port /port named, once resolved (its address holds any password); kind None before
  std::string passwordFile;   // "--password-file": where a TCP/IP password is read from
  uint32_t speed = 115200;    // serial speed in bit/s
  LoadMethod method = LoadMethod::PowerOnCapture;
  bool methodGiven = false;   // "/capture" stood on the command line: the wizard selects method
  uint32_t mtu = 0;           // largest piece written to the port at once; 0 keeps the default
  int replyGapMs = -1;        // "--reply-gap": quiet line that ends a block's reply; -1 a few characters
  ConnectionKind connection = ConnectionKind::Serial;
  bool directUpload = false;  // images go through the receiver's file system
  bool plainDataFile = false; // the source is one plain data file
  uint32_t maxSourceMib = 0;  // "--max-source-mib": the most a run's images may declare together; 0 the default
  std::string expectVersion;  // "--expect-version": the main firmware's version after the load begins so
  DigestExpectation digest;   // "--sha256", "--sha256-file": what the source's bytes must be
  SignatureTrust trust;       // "--trusted-key", "--require-signature" and the station's policy
  HistorySettings history;
};
