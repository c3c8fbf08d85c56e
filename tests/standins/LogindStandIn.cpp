// A stand-in for logind's inhibitor locks on a private bus, for the tests: it owns
// org.freedesktop.login1 on the bus DBUS_SYSTEM_BUS_ADDRESS names, answers
// Manager.Inhibit(what, who, why, mode) with one end of a pipe, and writes a line to its log when
// a lock is taken and when its holder lets it go (the pipe's other end hangs up):
//   taken MODE WHAT WHO WHY
//   released MODE WHO
//   vestrel-logind-standin --log FILE [--refuse-block]
// --refuse-block answers "block" with AccessDenied, as logind does for a user without the
// permission. Prints "ready" once it owns the name; runs until it is terminated.
#include <fcntl.h>
#include <poll.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Lock {
  int fd;
  std::string mode, who;
};

struct State {
  std::FILE* log = nullptr;
  bool refuseBlock = false;
  std::vector<Lock> locks;
};

void logLine(State& s, const std::string& line) {
  std::fprintf(s.log, "%s\n", line.c_str());
  std::fflush(s.log);
}

int inhibit(sd_bus_message* m, void* userdata, sd_bus_error* error) {
  auto& s = *static_cast<State*>(userdata);
  const char *what = nullptr, *who = nullptr, *why = nullptr, *mode = nullptr;
  int r = sd_bus_message_read(m, "ssss", &what, &who, &why, &mode);
  if (r < 0) return r;
  if (s.refuseBlock && std::strcmp(mode, "block") == 0) {
    logLine(s, std::string("refused ") + mode + " " + who);
    return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Permission denied");
  }
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return -errno;
  logLine(s, std::string("taken ") + mode + " " + what + " " + who + " " + why);
  s.locks.push_back({ends[0], mode, who});
  r = sd_bus_reply_method_return(m, "h", ends[1]);  // the message holds a copy of its own
  ::close(ends[1]);
  return r;
}

const sd_bus_vtable kManager[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Inhibit", "ssss", "h", inhibit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_VTABLE_END};

// Waits for the bus or a lock's hang-up; a lock whose holders all let go is logged and dropped.
void serve(sd_bus* bus, State& s) {
  for (;;) {
    int r;
    while ((r = sd_bus_process(bus, nullptr)) > 0) {
    }
    if (r < 0) return;
    std::vector<pollfd> fds{{sd_bus_get_fd(bus), static_cast<short>(sd_bus_get_events(bus)), 0}};
    for (const Lock& l : s.locks) fds.push_back({l.fd, POLLIN, 0});
    if (::poll(fds.data(), fds.size(), 1000) < 0 && errno != EINTR) return;
    for (std::size_t i = fds.size() - 1; i >= 1; --i) {
      if (!(fds[i].revents & (POLLHUP | POLLERR))) continue;
      const Lock& l = s.locks[i - 1];
      logLine(s, "released " + l.mode + " " + l.who);
      ::close(l.fd);
      s.locks.erase(s.locks.begin() + static_cast<long>(i - 1));
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  State s;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--log" && i + 1 < argc) s.log = std::fopen(argv[++i], "a");
    else if (a == "--refuse-block") s.refuseBlock = true;
  }
  if (!s.log) {
    std::fprintf(stderr, "usage: vestrel-logind-standin --log FILE [--refuse-block]\n");
    return 2;
  }
  sd_bus* bus = nullptr;
  int r = sd_bus_open_system(&bus);
  if (r >= 0) r = sd_bus_add_object_vtable(bus, nullptr, "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                           kManager, &s);
  if (r >= 0) r = sd_bus_request_name(bus, "org.freedesktop.login1", 0);
  if (r < 0) {
    std::fprintf(stderr, "vestrel-logind-standin: %s\n", std::strerror(-r));
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  serve(bus, s);
  sd_bus_flush_close_unref(bus);
  return 0;
}
