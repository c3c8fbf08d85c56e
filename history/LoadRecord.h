#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "LogArchive.h"

// An image of a recorded load.
struct RecordedImage {
  std::string file;    // its name in the source
  std::string title;   // the catalogue's title
  uint64_t size = 0;   // bytes
  std::string sha256;  // its bytes' digest
  std::string result;  // what came of it: "not_reached", "sent", "flashed", "stored", "refused", "failed"
};

// One row of the load history: one run that talked to a receiver. A text left empty is stored as
// NULL (not known); times are ISO 8601 UTC with milliseconds ("2026-12-09T10:15:02.123Z").
struct LoadRecord {
  std::string id;           // a UUID made for the run
  std::string startedAt;
  std::string finishedAt;   // empty while the run goes on (or when it was interrupted)
  std::string station;      // the host name
  int64_t pid = 0;
  std::string toolVersion;
  std::string commandLine;  // passwords masked
  std::string port;         // canonical, no password
  std::string link;         // "serial", "usb", "bluetooth", "tcpip"
  std::string method;       // "soft", "power", "fldp", "data"
  std::string source;
  std::string sourceSha256;
  std::string receiverModel;
  std::string receiverId;
  std::string receiverHardware;
  std::string firmwareBefore;
  std::string firmwareAfter;
  std::string outcome;      // "confirmed", "unconfirmed", "failed", "aborted", "refused", "interrupted"
  std::string stage;        // the stage it ended in
  std::optional<int> exitStatus;
  bool pending = false;     // kept on this station until the line's server has it
  std::string reason;
  std::string logPath;
  std::string failureKind;  // why it did not end confirmed ("link_lost", ...); empty when it did
  std::string workOrder;    // the order the load was made for ("--work-order")
  std::string operatorName; // who made it ("--operator")
  std::string lot;          // the production lot ("--lot")
  std::string signerKey;    // the id of the trusted key that signed the source, in hexadecimal
  std::string signerComment;  // the signature's trusted comment
  std::vector<RecordedImage> images;
  StoredLog log;            // the run's activity log, where the station stored it (read on demand)
};

// Which rows a listing shows: newest first.
struct HistoryFilter {
  std::string receiverId;  // only this receiver's identity
  std::string port;        // only this canonical port
  std::string since;       // only runs started at or after this time (ISO 8601 UTC, as stored)
  std::string until;       // only runs started before this time (ISO 8601 UTC, as stored)
  std::string workOrder;   // only this work order's runs
  std::string station;     // only this station's runs
  std::string outcome;     // only runs of this outcome
  std::string firmware;    // only runs that left this firmware version (or found it, when none was loaded)
  int limit = 0;           // at most this many; 0 all
  bool images = true;      // read each row's images too
};
