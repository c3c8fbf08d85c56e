// The Linux child: fork and exec, pipes read without blocking, the process group for signals.
#include "ChildProcessPosix.h"

#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "ChildWait.h"

namespace {

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// In the child between fork and exec: only async-signal-safe calls.
[[noreturn]] void execChild(const std::string& program, const std::vector<char*>& argv, const std::vector<char*>& envp,
                            int out, int err, int report, pid_t parent) {
  ::setpgid(0, 0);
  // A fleet that goes away asks each child to stop once the image it writes is flashed; one that
  // went before this line was reached is seen by the child's new parent.
  ::prctl(PR_SET_PDEATHSIG, SIGUSR1);
  if (::getppid() != parent) ::raise(SIGUSR1);
  ::signal(SIGPIPE, SIG_DFL);  // the fleet's own choice is not the child's
  const int devNull = ::open("/dev/null", O_RDONLY);
  if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
  ::dup2(out, STDOUT_FILENO);
  ::dup2(err, STDERR_FILENO);
  ::execve(program.c_str(), argv.data(), envp.data());
  const int error = errno;
  [[maybe_unused]] const ssize_t n = ::write(report, &error, sizeof error);
  ::_exit(127);
}

// The fleet's environment with the entries set or replaced.
std::vector<std::string> environmentWith(const std::vector<std::string>& set) {
  std::vector<std::string> all;
  for (char** e = environ; e && *e; ++e) {
    const std::string entry = *e;
    const std::string name = entry.substr(0, entry.find('=') + 1);
    const bool replaced = std::any_of(set.begin(), set.end(), [&](const std::string& s) { return s.rfind(name, 0) == 0; });
    if (!replaced) all.push_back(entry);
  }
  all.insert(all.end(), set.begin(), set.end());
  return all;
}

}  // namespace

ChildProcess::ChildProcess(ChildWait&) : impl_(std::make_unique<Impl>()) {}

ChildProcess::~ChildProcess() {
  if (impl_->pid > 0) {
    ::kill(-impl_->pid, SIGKILL);
    ::waitpid(impl_->pid, nullptr, 0);
  }
  closeFd(impl_->out);
  closeFd(impl_->err);
}

bool ChildProcess::start(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment, std::string& error) {
  int out[2], err[2], report[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return error = std::strerror(errno), false;
  if (::pipe2(err, O_CLOEXEC) != 0) {
    ::close(out[0]), ::close(out[1]);
    return error = std::strerror(errno), false;
  }
  if (::pipe2(report, O_CLOEXEC) != 0) {
    for (int fd : {out[0], out[1], err[0], err[1]}) ::close(fd);
    return error = std::strerror(errno), false;
  }
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env = environmentWith(environment);
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) execChild(program, argv, envp, out[1], err[1], report[1], parent);
  for (int fd : {out[1], err[1], report[1]}) ::close(fd);
  int execError = 0;
  const bool forked = pid > 0;
  const ssize_t got = forked ? ::read(report[0], &execError, sizeof execError) : 0;
  ::close(report[0]);
  if (!forked || got == static_cast<ssize_t>(sizeof execError)) {
    if (forked) ::waitpid(pid, nullptr, 0);
    ::close(out[0]), ::close(err[0]);
    error = "cannot run " + program + ": " + std::strerror(forked ? execError : errno);
    return false;
  }
  ::setpgid(pid, pid);  // also here, so that a signal sent at once reaches the group
  impl_->pid = pid;
  impl_->out = out[0];
  impl_->err = err[0];
  for (int fd : {impl_->out, impl_->err}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
  return true;
}

ChildProcess::Read ChildProcess::read(Stream stream, char* buffer, std::size_t size, std::size_t& got) {
  got = 0;
  const int fd = stream == Stream::Out ? impl_->out : impl_->err;
  if (fd < 0) return Read::Ended;
  ssize_t n = 0;
  do n = ::read(fd, buffer, size);
  while (n < 0 && errno == EINTR);
  if (n < 0 && errno == EAGAIN) return Read::Nothing;
  if (n <= 0) {
    close(stream);
    return Read::Ended;
  }
  got = static_cast<std::size_t>(n);
  return Read::Data;
}

bool ChildProcess::isOpen(Stream stream) const { return (stream == Stream::Out ? impl_->out : impl_->err) >= 0; }

void ChildProcess::close(Stream stream) { closeFd(stream == Stream::Out ? impl_->out : impl_->err); }


void ChildProcess::stop(int signal) const {
  if (impl_->pid > 0) ::kill(-impl_->pid, signal);
}

void ChildProcess::kill() const { stop(SIGKILL); }

bool ChildProcess::reap(ChildExit& exit) {
  if (impl_->pid <= 0) return false;
  int waitStatus = 0;
  const pid_t done = ::waitpid(impl_->pid, &waitStatus, WNOHANG);
  if (done != impl_->pid) return false;
  impl_->pid = -1;
  exit = {};
  if (WIFSIGNALED(waitStatus)) {
    exit.signal = WTERMSIG(waitStatus);
    exit.status = 128 + exit.signal;
    exit.signalName = ::strsignal(exit.signal);
  } else {
    exit.status = WEXITSTATUS(waitStatus);
  }
  return true;
}
