#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class ChildWait;

// How a child ended: its exit status, or the signal that killed it (POSIX; 0 elsewhere).
struct ChildExit {
  int status = 0;
  int signal = 0;
  std::string signalName;  // the signal's description, "Segmentation fault"
};

// One vestrel process of the fleet, its standard output and standard error read without blocking
// the fleet. The child runs in a process group of its own, so that a terminal's Ctrl-C reaches
// the fleet alone, which passes the stop on once; nothing it started outlives the fleet (Linux:
// SIGTERM when the fleet dies; Windows: a job object that ends with the fleet). Its output wakes
// the ChildWait it was made with. Used on the fleet's thread only.
class ChildProcess {
 public:
  enum class Stream { Out, Err };
  enum class Read { Data, Nothing, Ended };

  explicit ChildProcess(ChildWait& wait);
  // A child still running is killed and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program with the arguments (standard input empty) and the fleet's environment with
  // "NAME=VALUE" entries set or replaced (secrets go there: other users can read a process's
  // arguments, not its environment); false with the reason ("cannot run PATH: ...") when it could
  // not be started.
  bool start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& environment,
             std::string& error);
  // Never blocks: Data with up to size bytes the child wrote on the stream (got set), Nothing for
  // now, or Ended once the stream is closed and read to its end.
  Read read(Stream stream, char* buffer, std::size_t size, std::size_t& got);
  bool isOpen(Stream stream) const;
  void close(Stream stream);
  // Asks the child to stop as the signal would: Linux sends it to the child's process group,
  // Windows sends Ctrl-Break to it, which vestrel takes as its stop signal.
  void stop(int signal) const;
  // Ends the child and what it started at once.
  void kill() const;
  // True once the child has ended, with how; never blocks.
  bool reap(ChildExit& exit);

 private:
  friend class ChildWait;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
