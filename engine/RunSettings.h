#pragma once
#include "LoadMethod.h"
#include "SourceKind.h"

// The settings of one run, fixed when the run starts and read by every step; nothing changes
// them while the run goes on.
struct RunSettings {
  static constexpr int kDefaultBlockSize = 512;  // bytes of a DTP block unless the run chose one
  static constexpr int kPutTimeout = 20;         // first transfer value of the file-upload commands
  static constexpr int kSlowLinkPutTimeout = 60; // the same on Bluetooth and TCP/IP links

  LoadMethod method = LoadMethod::SoftBreakCapture;
  SourceKind sourceKind = SourceKind::ZipArchive;
  bool portBPowerSlots = false;     // passed on to the ordering of the image set
  int blockSize = kDefaultBlockSize;
  int putTimeout = kPutTimeout;
  int replyGapMs = -1;              // quiet line after a block's reply on serial links; -1: a few characters

  // The images go through the receiver's file system instead of its boot loader.
  bool fileUpload() const { return method == LoadMethod::FileUpload; }
};
