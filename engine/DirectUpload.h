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
bool streamFlash(LoadWorker& w, RunState& rs, FirmwareImage& image);
// Sends a line tagged with the next value of the process-wide counter; true when the reply
// carries exactly that tag.
bool syncChannel(CommandChannel& channel);
bool reconnect(LoadWorker& w, const PortEntry& entry, int attempts, int pauseMs);
