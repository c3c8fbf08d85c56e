#pragma once
#include <string>

#include "RunState.h"

class FirmwareImageSet;
class LoadWorker;

// Stores one plain data file in the receiver's "/log/" and checks its size there.
void dataFileRun(LoadWorker& w, FirmwareImageSet& images, RunState& rs);
// The receiver's name for a data file: the file name's first 30 characters, "." in front for a
// "GeMo" file, and "." for every character the receiver's command language cannot carry.
std::string receiverFileName(const std::string& path, bool isGeMo);
