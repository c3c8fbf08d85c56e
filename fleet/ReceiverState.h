#pragma once
#include <chrono>
#include <string>

#include "ChildProcess.h"
#include "JsonEvents.h"

// Where one receiver's load stands, as its vestrel process reports it in JSON lines.
enum class Stage {
  Queued, Starting, Testing, Capturing, Loading, Flashing, Rebooting, Confirming,
  Done, Unconfirmed, Current, Failed  // the ends
};

// One receiver of the fleet: what its child reported, and how the child ended. Only the child's
// typed events count (start, stage, receiver, progress, result), never its texts. Used on the
// fleet's one thread only.
class ReceiverState {
 public:
  using Clock = std::chrono::steady_clock;
  ReceiverState(std::string port, std::string logPath);

  // One JSON line of the child's standard output; true when the stage (or the image) changed.
  // Lines that are not JSON events are ignored.
  bool applyLine(const std::string& line);
  bool applyEvent(const jsonevents::Json& event);
  // The child of this attempt (1 the first) started; a new attempt forgets what the last one said.
  void started(Clock::time_point at, int attempt = 1);
  int attempts() const { return attempts_; }
  // The child could not be started at all.
  void startFailed(const std::string& reason, Clock::time_point at);
  // The receiver already runs the expected firmware: it is not loaded.
  void foundCurrent(const std::string& model, const std::string& identity, const std::string& firmware,
                    Clock::time_point at);
  // The receiver the order names on this port ("--receivers"), and its work order.
  void listed(const std::string& id, const std::string& workOrder) {
    listedId_ = id;
    workOrder_ = workOrder;
  }
  // The fleet refused it before any child ran: an unlisted receiver, a listed one found nowhere.
  void refused(const std::string& model, const std::string& identity, const std::string& reason, Clock::time_point at);
  const std::string& listedId() const { return listedId_; }
  const std::string& workOrder() const { return workOrder_; }
  // The receiver's id: the one it told, else the one the order names.
  const std::string& receiverId() const { return serial_.empty() ? listedId_ : serial_; }
  // The child ended with this wait status; its last standard-error line says why when it printed
  // no result (a usage error, a crash). Decides the receiver's result: loaded only when the
  // child's result is a confirmed load of this very port and it exited 0.
  void childEnded(const ChildExit& exit, const std::string& lastErrorLine, Clock::time_point at);

  const std::string& port() const { return port_; }
  std::string shownPort() const;
  const std::string& logPath() const { return logPath_; }
  const std::string& model() const { return model_; }
  const std::string& serial() const { return serial_; }
  Stage stage() const { return stage_; }
  // "testing", "loading Main firmware", "done", "unconfirmed", "failed", ...
  std::string stageText() const;
  int percent() const { return percent_; }          // -1 before the first progress
  double rate() const { return rate_; }              // bytes a second, 0 when not known
  int secondsLeft() const { return secondsLeft_; }  // of the whole load, -1 when not known
  const std::string& firmwareBefore() const { return before_; }
  const std::string& firmwareAfter() const { return after_; }
  const std::string& reason() const { return reason_; }
  // What the child's result said: why the load did not end confirmed ("link_lost"; "" when it did
  // or said nothing), what to do about it, and its images ("2 of 5 flashed"; "" without any).
  const std::string& failureKind() const { return failureKind_; }
  const std::string& remedy() const { return remedy_; }
  const std::string& imagesText() const { return imagesText_; }
  // "confirmed", "unconfirmed", "failed", "aborted", "refused", as the child's result said or the
  // fleet decided ("failed" for a child that ended without one); "" while it runs.
  std::string outcome() const;
  // The child's row in the load history, as its result named it; empty when it wrote none.
  const std::string& historyId() const { return historyId_; }
  bool loaded() const { return stage_ == Stage::Done; }
  bool unconfirmed() const { return stage_ == Stage::Unconfirmed; }
  bool current() const { return stage_ == Stage::Current; }
  int exitStatus() const { return exitStatus_; }     // the child's, -1 while it runs
  bool ended() const { return stage_ >= Stage::Done; }
  double seconds() const;
  Clock::time_point startTime() const { return start_; }
  Clock::time_point endTime() const { return end_; }

 private:
  bool setStage(Stage stage, const std::string& image = "");
  bool stageEvent(const jsonevents::Json& event);
  void receiverFacts(const jsonevents::Json& facts, const char* identityField, const char* beforeField);
  void result(const jsonevents::Json& event);
  bool resultNamesThisPort() const;

  std::string port_, logPath_;
  std::string listedId_, workOrder_;
  std::string model_, serial_;
  Stage stage_ = Stage::Queued;
  std::string image_;
  int percent_ = -1;
  double rate_ = 0;
  int secondsLeft_ = -1;
  std::string before_, after_;
  std::string reason_;
  std::string failureKind_, remedy_, imagesText_;
  std::size_t imagesDone_ = 0, imageCount_ = 0;
  bool resultSeen_ = false;
  std::string outcome_, resultStage_, resultPort_, historyId_;
  int exitStatus_ = -1;
  int attempts_ = 0;
  Clock::time_point start_{}, end_{};
};
