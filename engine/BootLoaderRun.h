#pragma once
#include <cstdint>

#include "RunState.h"

class FirmwareImage;
class FirmwareImageSet;
class LoadWorker;

// compareVersions results
enum class VersionCheck : int {
  Accepted = 1,
  RamWrongHardware = -2,
  FlashWrongHardware = -3,
};

// One cycle per image: capture, version exchange and check, RAM loader, flash image. The RAM
// loader is the set's first image (named sets) or the image's utility loader (numbered sets).
void bootLoaderRun(LoadWorker& w, bool numberedSet, FirmwareImageSet& images, RunState& rs);
void checkBootVersions(LoadWorker& w, RunState& rs, bool skipFlashCheck, uint32_t ramHardwareVersion,
                       uint32_t flashHardwareVersion);
bool readBootVersions(LoadWorker& w, int& hardwareVersion, int& secondVersion);
VersionCheck compareVersions(LoadWorker& w, int32_t hardware, int32_t second, int32_t ram, int32_t flash);
int findUtilityLoader(const FirmwareImageSet& images, int id);
bool fileUploadHardwareCheck(LoadWorker& w, const FirmwareImage& image, bool numberedSet, RunState& rs);
