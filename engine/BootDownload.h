#pragma once
#include <cstdint>
#include <string>

#include "RunState.h"

class FirmwareImage;
class LoadWorker;

// Results of sendFlashImage.
enum FlashResult : int {
  kFlashDone = 1,           // also left when an abort stopped the transfer
  kFlashBlockFailed = 3,
  kFlashLastBlockFailed = 4,
  kFlashNoEndAck = 5,
};

// The RAM image checksum: value := rotl(value, 7) XOR byte, from 0.
uint32_t ramChecksum(const uint8_t* data, std::size_t size, uint32_t start = 0);

void loadRamStep(LoadWorker& w, RunState& rs, FirmwareImage& image, const std::string& title);
bool loadRam(LoadWorker& w, FirmwareImage& image, const std::string& title);
int loadFlashStep(LoadWorker& w, RunState& rs, FirmwareImage& image, uint32_t loaderMode, const std::string& title);
int sendFlashImage(LoadWorker& w, FirmwareImage& image, const std::string& title, uint32_t loaderMode);
bool waitEndAck(LoadWorker& w);
// Block size of a flash transfer for a RAM loader version.
int flashBlockSize(int workerBlockSize, uint32_t loaderMode);
