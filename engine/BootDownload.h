#pragma once
#include <cstdint>
#include <string>

#include "RunState.h"

class FirmwareImage;
class LoadWorker;

// Results of sendFlashImage.
enum class FlashResult : int {
  Done = 1,             // also left when an abort stopped the transfer
  BlockFailed = 3,
  LastBlockFailed = 4,
  NoEndAck = 5,
};

// The RAM image checksum: value := rotl(value, 7) XOR byte, from 0.
uint32_t ramChecksum(const uint8_t* data, std::size_t size, uint32_t start = 0);

void loadRamStep(LoadWorker& w, RunState& rs, FirmwareImage& image, const std::string& title);
// why (when given) receives the kind of a failure: the receiver refused the checksum or answered
// something else, else it was silent.
bool loadRam(LoadWorker& w, FirmwareImage& image, const std::string& title, FailureKind* why = nullptr);
// Sends one flash image in DTP blocks of blockSize bytes (the RAM loader's version may fix another).
FlashResult loadFlashStep(LoadWorker& w, RunState& rs, FirmwareImage& image, uint32_t loaderMode, const std::string& title,
                          int blockSize);
FlashResult sendFlashImage(LoadWorker& w, FirmwareImage& image, const std::string& title, uint32_t loaderMode,
                           int blockSize);
bool waitEndAck(LoadWorker& w);
// Block size of a flash transfer for a RAM loader version.
int flashBlockSize(int runBlockSize, uint32_t loaderMode);
