#pragma once
#include <string>

#include "PortEntry.h"
#include "RunState.h"

class CommandChannel;
class FirmwareImage;
class FirmwareImageSet;
class LoadWorker;

// Commands longer than this are refused rather than sent.
constexpr std::size_t kMaxCommandBytes = 1023;

// Stores each image in the receiver's file system and has the receiver flash it; a numbered set
// first tries streaming the image straight into "fld". The run fails when any image failed.
void fileUploadRun(LoadWorker& w, FirmwareImageSet& images, bool numberedSet, RunState& rs);
// Stores one image as "/log/" + name with DTP.
void uploadFile(LoadWorker& w, RunState& rs, const std::string& name, FirmwareImage& image);
// Flashed: the receiver took the streamed image (rs.ok says whether it came back, or the stop);
// NotStreamed: it refused every attempt, store the file instead; FlashedNotBack: flashed, but it
// did not come back, the run fails with that said.
enum class StreamOutcome { Flashed, NotStreamed, FlashedNotBack };
StreamOutcome streamFlash(LoadWorker& w, RunState& rs, FirmwareImage& image);
// Sends a line tagged with the next value of the process-wide counter; true when the reply
// carries exactly that tag.
bool syncChannel(CommandChannel& channel);
bool reconnect(LoadWorker& w, const PortEntry& entry, int attempts, int pauseMs);
