// vestrel-usbsim: receivers on native USB without hardware. It starts virtual receivers
// (vestrel-sim --usb-link), presents each as a USB device through umockdev (sysfs, udev and the
// usbdevfs ioctls), and runs a command under umockdev's preload, so that the real USB library in
// it enumerates, opens and moves bytes to those receivers. Exits with the command's status.
#include <glib-unix.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "EmulatedUsbReceiver.h"

namespace {

void usage() {
  std::cout << "usage: vestrel-usbsim [--receivers N] [--unplug-after BYTES] [--no-bulk-endpoints] [--claim-busy]\n"
               "                      [--stall-after BYTES] [--hold-after BYTES] [--sim PATH] [--sim-arg ARG]...\n"
               "                      -- COMMAND [ARG...]\n"
               "Presents N virtual receivers (1) as USB devices usb:1-1, usb:1-2, ... (serial numbers\n"
               "VR100-0001231, ...) and runs COMMAND under umockdev-wrapper. A receiver that restarts\n"
               "goes away and comes back. --unplug-after pulls the cable once BYTES went out;\n"
               "--stall-after stalls the OUT endpoint, --hold-after makes it take nothing more;\n"
               "--no-bulk-endpoints and --claim-busy present a receiver that cannot be used.\n"
               "--sim-arg passes ARG on to each vestrel-sim ({n} stands for the receiver's number).\n";
}

struct Options {
  int receivers = 1;
  UsbFaults faults;
  std::string sim;
  std::vector<std::string> simArgs;
  std::vector<std::string> command;
};

bool parse(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--") {
      o.command.assign(argv + i + 1, argv + argc);
      return !o.command.empty();
    }
    if (a == "--receivers" && more) o.receivers = std::atoi(argv[++i]);
    else if (a == "--unplug-after" && more) o.faults.unplugAfterBytes = std::atol(argv[++i]);
    else if (a == "--stall-after" && more) o.faults.stallAfterBytes = std::atol(argv[++i]);
    else if (a == "--hold-after" && more) o.faults.holdAfterBytes = std::atol(argv[++i]);
    else if (a == "--no-bulk-endpoints") o.faults.noBulkEndpoints = true;
    else if (a == "--claim-busy") o.faults.claimBusy = true;
    else if (a == "--sim" && more) o.sim = argv[++i];
    else if (a == "--sim-arg" && more) o.simArgs.push_back(argv[++i]);
    else return false;
  }
  return false;
}

std::string replaced(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// One virtual receiver's process, stopped when it goes.
class SimProcess {
 public:
  SimProcess(const std::string& program, std::vector<std::string> args) {
    int out[2];
    if (::pipe(out) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(out[1], STDOUT_FILENO);
      ::close(out[0]);
      ::close(out[1]);
      std::vector<char*> argv;
      argv.push_back(const_cast<char*>(program.c_str()));
      for (std::string& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      ::execv(program.c_str(), argv.data());
      _exit(127);
    }
    ::close(out[1]);
    FILE* lines = ::fdopen(out[0], "r");
    char line[256];
    while (lines && std::fgets(line, sizeof line, lines)) {
      const std::string text = line;
      if (text.rfind("usb-link:127.0.0.1:", 0) == 0) {
        linkPort_ = std::atoi(text.c_str() + 19);
        break;
      }
    }
    if (lines) std::fclose(lines);
  }
  ~SimProcess() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;
  int linkPort() const { return linkPort_; }

 private:
  pid_t pid_ = -1;
  int linkPort_ = -1;
};

struct Run {
  GMainLoop* loop = nullptr;
  pid_t child = -1;
  int status = 1;
  gint64 stoppedAtUs = 0;  // when a stop was passed on to the command
};

std::string besideThisProgram(const char* argv0, const std::string& name) {
  std::string self = argv0;
  const auto slash = self.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : self.substr(0, slash);
  for (const std::string& candidate : {dir + "/" + name, dir + "/../" + name})
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  return name;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a reader that goes away stops that output only
  Options o;
  if (!parse(argc, argv, o) || o.receivers < 1) {
    usage();
    return argc > 1 && std::string(argv[1]) == "--help" ? 0 : 2;
  }
  if (o.sim.empty()) o.sim = besideThisProgram(argv[0], "vestrel-sim");
  std::vector<std::unique_ptr<SimProcess>> sims;
  for (int n = 1; n <= o.receivers; ++n) {
    const std::string serial = "VR100-000123" + std::to_string(n);
    std::vector<std::string> args = {"--usb-link", "0", "--identity", serial};
    for (const std::string& a : o.simArgs) args.push_back(replaced(a, "{n}", std::to_string(n)));
    sims.push_back(std::make_unique<SimProcess>(o.sim, args));
    if (sims.back()->linkPort() <= 0) {
      std::cerr << "vestrel-usbsim: " << o.sim << " did not start its USB link\n";
      return 1;
    }
  }
  UMockdevTestbed* testbed = umockdev_testbed_new();  // sets UMOCKDEV_DIR for the command
  std::vector<std::unique_ptr<EmulatedUsbReceiver>> receivers;
  for (int n = 1; n <= o.receivers; ++n) {
    receivers.push_back(std::make_unique<EmulatedUsbReceiver>(testbed, n, "VR100-000123" + std::to_string(n),
                                                              sims[static_cast<std::size_t>(n - 1)]->linkPort(), o.faults));
    std::string error;
    if (!receivers.back()->start(error)) {
      std::cerr << "vestrel-usbsim: " << error << "\n";
      return 1;
    }
  }
  Run run;
  run.loop = g_main_loop_new(nullptr, FALSE);
  run.child = ::fork();
  if (run.child == 0) {
    std::vector<char*> command = {const_cast<char*>("umockdev-wrapper")};
    for (std::string& a : o.command) command.push_back(a.data());
    command.push_back(nullptr);
    ::execvp("umockdev-wrapper", command.data());
    std::perror("vestrel-usbsim: umockdev-wrapper");
    _exit(127);
  }
  g_child_watch_add(run.child, [](GPid, gint status, gpointer data) {
    auto* r = static_cast<Run*>(data);
    r->status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (r->stoppedAtUs)  // for the stop-latency benchmark
      std::fprintf(stderr, "vestrel-usbsim: the command ended %.1f ms after the stop\n",
                   static_cast<double>(g_get_monotonic_time() - r->stoppedAtUs) / 1000.0);
    g_main_loop_quit(r->loop);
  }, &run);
  // A stop meant for the command reaches it.
  for (const int signal : {SIGTERM, SIGINT, SIGHUP})
    g_unix_signal_add(signal, [](gpointer data) -> gboolean {
      auto* r = static_cast<Run*>(data);
      if (!r->stoppedAtUs) r->stoppedAtUs = g_get_monotonic_time();
      ::kill(r->child, SIGTERM);
      return G_SOURCE_CONTINUE;
    }, &run);
  g_main_loop_run(run.loop);
  for (auto& receiver : receivers) receiver->stop();
  receivers.clear();
  g_main_loop_unref(run.loop);
  g_object_unref(testbed);
  return run.status;
}
