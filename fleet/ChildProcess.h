#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// One vestrel process of the fleet, with its standard output and standard error on pipes. The
// child runs in a process group of its own (a terminal's Ctrl-C reaches the fleet alone, which
// passes the stop on once) and gets SIGTERM should the fleet die. Used on the fleet's thread only.
class ChildProcess {
 public:
  ChildProcess() = default;
  // A child still running is killed and reaped: nothing outlives the fleet.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the program with the arguments (standard input from /dev/null) and the fleet's
  // environment with "NAME=VALUE" entries set or replaced (secrets go there: other users can read
  // a process's arguments, not its environment); false with the reason ("cannot run PATH: No such
  // file or directory") when it could not be started.
  bool start(const std::string& program, const std::vector<std::string>& args, const std::vector<std::string>& environment,
             std::string& error);
  // The pipes' read ends (-1 once closed); nonblocking.
  int outFd() const { return out_; }
  int errFd() const { return err_; }
  void closeOut();
  void closeErr();
  bool running() const { return pid_ > 0; }
  pid_t pid() const { return pid_; }
  // Sends the signal to the child's process group.
  void signal(int sig) const;
  // True once the child has ended, with its wait status; never blocks.
  bool reap(int& waitStatus);

 private:
  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
};
