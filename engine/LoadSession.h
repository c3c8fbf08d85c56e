#pragma once
#include <functional>
#include <memory>

#include "Clock.h"
#include "CommandChannel.h"
#include "EngineSession.h"
#include "FirmwareImageSet.h"
#include "LoadWorker.h"

// The engine session of one receiver link: it owns the command channel and at most one worker,
// and does everything around a run on that worker, so no front end ever talks to the receiver:
// connecting, the transfer unit, the bridge power switch or the soft reset with their pauses, the
// loading rate or the file-upload settings, then the port test or the load driver.
class LoadSession final : public EngineSession {
 public:
  explicit LoadSession(CommandChannel::PortFactory factory = {}, CMNC::Clock& clock = CMNC::Clock::system());
  ~LoadSession() override;
  LoadSession(const LoadSession&) = delete;
  LoadSession& operator=(const LoadSession&) = delete;

  bool startTest(const TestRequest& request, LoadEvents& events) override;
  bool startIdentify(const TestRequest& request, LoadEvents& events) override;
  bool startLoad(const LoadRequest& request, FirmwareImageSet& images, LoadEvents& events) override;
  void stop() override;
  void stopAfterImage() override;
  bool running() const override { return worker_ != nullptr; }
  PortTestSetup testResult() const override { return test_; }
  std::string firmwareAfterLoad() const override { return firmwareAfter_; }
  int currentRate() const override { return channel_.currentRate(); }

  // The settings a load runs with: the DTP block size and put time-out by method and link.
  static RunSettings settingsFor(const LoadRequest& request);
  // The largest write for a load: 128 on the receiver's Bluetooth port, the command line's value
  // when given (at least 32); 0 keeps the channel's default.
  static int transferUnitFor(const LoadRequest& request);

  // The channel itself, for tests and benchmarks that look at the link.
  CommandChannel& channel() { return channel_; }

 private:
  enum class RunKind { None, Test, Load };
  void start(RunKind kind, FirmwareImageSet& images, const RunSettings& settings, LoadWorker::Procedure procedure,
             LoadEvents& events);
  // A port test or an identification: the procedure gets the worker and the port to open.
  bool startTestRun(const TestRequest& request, LoadEvents& events,
                    std::function<void(LoadWorker&, const PortEntry&)> procedure);

  CommandChannel channel_;
  CMNC::Clock& clock_;
  FirmwareImageSet noImages_;  // the port test's worker has no set of its own
  PortTestSetup test_;
  std::string firmwareAfter_;  // written by the load's worker, read after stop()
  RunKind kind_ = RunKind::None;
  std::unique_ptr<LoadWorker> worker_;
};
