#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "LoadEvents.h"
#include "LoadMethod.h"
#include "PortEntry.h"
#include "PortTest.h"
#include "SourceKind.h"

class FirmwareImageSet;

// What the "Test" button asks for.
struct TestRequest {
  PortEntry port;
  LoadMethod method = LoadMethod::SoftBreakCapture;
  std::vector<SpeedEntry> speeds;  // the selected speed first, then the wizard's list
};

// What the loading page asks for.
struct LoadRequest {
  static constexpr int kDefaultBlockSizeChoice = 16384;

  PortEntry port;
  LoadMethod method = LoadMethod::SoftBreakCapture;
  SourceKind sourceKind = SourceKind::ZipArchive;
  uint32_t speed = 115200;       // loading speed of the boot-loader methods, bit/s
  uint32_t mtu = 0;              // largest write from the command line; 0: the link's own rule
  int blockSizeChoice = kDefaultBlockSizeChoice;  // file upload's DTP block on non-serial links
  std::string receiverPort;      // the receiver's own name for its port, found by the port test
  bool portBPowerSlots = false;  // found by the port test
  int replyGapMs = -1;           // quiet line that ends a block's reply on serial; -1: a few characters
};

// The engine as a front end drives it: one link to one receiver, at most one run (a port test
// or a load) at a time. Every call comes from the front end's own thread; a run reports only
// through the LoadEvents it was started with, which must outlive it (until stop() returns).
class EngineSession {
 public:
  virtual ~EngineSession() = default;
  // Starts the port test on a worker. False (and nothing starts) while a run exists.
  virtual bool startTest(const TestRequest& request, LoadEvents& events) = 0;
  // Starts "--identify" on a worker: the receiver's identity asked at the first of request.speeds
  // it answers at, nothing set in it. False while a run exists.
  virtual bool startIdentify(const TestRequest& request, LoadEvents& events) = 0;
  // Starts a load of the set's chosen names on a worker. False while a run exists.
  virtual bool startLoad(const LoadRequest& request, FirmwareImageSet& images, LoadEvents& events) = 0;
  // Stops the run, if any: abort, purge, wait for the worker, disconnect; after a load the
  // receiver's normal rate is the current rate again. Never hangs; safe to call at any time.
  virtual void stop() = 0;
  // Asks the load to end once the image being written is flashed: the images after it are not
  // begun, and the run ends failed saying which image was written last. A load at its last image,
  // or a port test, ends as it would. Returns at once; harmless without a run.
  virtual void stopAfterImage() = 0;
  // True from a start until the next stop() (the worker may have finished already).
  virtual bool running() const = 0;
  // What the last port test (or identification) found; read after stop().
  virtual PortTestSetup testResult() const = 0;
  // The main firmware's version the receiver reported once it was back after the last load that
  // worked; empty when it did not answer (or the load did not work). Read after stop().
  virtual std::string firmwareAfterLoad() const = 0;
  // The channel's current line rate (where the port test left the receiver).
  virtual int currentRate() const = 0;
};
