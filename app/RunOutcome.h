#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FailureKind.h"
#include "FirmwareChange.h"
#include "LoadMethod.h"
#include "LoadStage.h"
#include "OutcomeKind.h"
#include "PortTest.h"
#include "SourceKind.h"


// The receiver as far as the run learned it; an empty text was not asked or not answered.
struct ReceiverFacts {
  std::string model;
  std::string id;               // its identity (serial number)
  std::string hardware;         // its hardware version
  std::string firmwareBefore;   // the main firmware's version the port test read
  std::string firmwareAfter;    // the main firmware's version it told after the load
};

// The receiver's facts from what the port test found, its identity and hardware version as the
// run learned them, and the version it told after the load.
ReceiverFacts receiverFactsOf(const PortTestSetup& tested, const std::string& identity, const std::string& hardware,
                              const std::string& firmwareAfter);

// An image of the load and what happened to it.
struct LoadedImage {
  std::string file;   // its name in the source
  std::string title;  // the catalogue's title, "Main firmware"
  uint64_t size = 0;  // bytes
  std::string sha256; // its bytes' digest
  ImageResult result = ImageResult::NotReached;
  std::string words;  // the receiver's or the step's words on a refusal or a failure
  std::string path;   // where the load read it (an archive's entry, a file's path)
};

// "2 of 5 flashed" (a data file: "1 of 1 stored"); "" without images.
std::string imagesSummary(const std::vector<LoadedImage>& images);
// "- Main firmware (main.ldp): failed: the receiver did not answer", without a line end.
std::string imageResultLine(const LoadedImage& image);

// How an unattended run ended.
struct RunOutcome {
  int exitStatus = 0;  // what the program exits with
  std::string reason;  // "Successfully loaded!", or why not
  FirmwareChange firmware;
  OutcomeKind kind = OutcomeKind::Failed;
  std::optional<LoadStage> stage;  // the stage it ended in; none when it never started
  std::string port;                // the port as given, any password left out
  ReceiverFacts receiver;
  std::vector<LoadedImage> images;  // the load's images in order, each with its result; none before a load
  FailureKind failure = FailureKind::None;  // why it did not end confirmed
  std::string remedy;                       // what the operator can do about it; "" when nothing failed
  std::string sourceSha256;         // the source file's digest, once the source was read
  std::string historyId;            // the run's row in the load history; empty when none was written
};

// "soft", "power", "fldp", "data": a method as "/capture" names it; a plain data file goes by file upload.
const char* methodWord(LoadMethod method, SourceKind kind);
