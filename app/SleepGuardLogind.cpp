#include "SleepGuard.h"

#include <fcntl.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cstring>

// logind's inhibitor lock, asked of the system bus through sd-bus: Inhibit("sleep:shutdown",
// who, why, mode) returns a file descriptor; the lock lasts as long as a copy of it stays open.
// "block" needs the polkit permission most desktop users have; without it "delay" still gives
// the load the few seconds logind waits (InhibitDelayMaxSec) before a sleep.
namespace {

constexpr const char* kWho = "Vestrel";
constexpr const char* kWhat = "sleep:shutdown";

// A bus connection closed and freed with its owner.
struct BusUnref {
  void operator()(sd_bus* bus) const { sd_bus_flush_close_unref(bus); }
};
using Bus = std::unique_ptr<sd_bus, BusUnref>;

struct MessageUnref {
  void operator()(sd_bus_message* m) const { sd_bus_message_unref(m); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

class LogindGuard final : public SleepGuard {
 public:
  LogindGuard(int fd, std::string mode) : fd_(fd), mode_(std::move(mode)) {}
  ~LogindGuard() override {
    if (fd_ >= 0) ::close(fd_);  // logind sees the last copy go: the lock is released
  }
  std::string mode() const override { return fd_ >= 0 ? mode_ : ""; }

 private:
  int fd_;
  std::string mode_;
};

// Asks logind for the lock in one mode: the descriptor (a copy of our own), or -1 with the reason.
int inhibit(sd_bus* bus, const std::string& why, const char* mode, std::string& error) {
  sd_bus_error failure = SD_BUS_ERROR_NULL;
  sd_bus_message* raw = nullptr;
  sd_bus_message* call = nullptr;
  int r = sd_bus_message_new_method_call(bus, &call, "org.freedesktop.login1", "/org/freedesktop/login1",
                                         "org.freedesktop.login1.Manager", "Inhibit");
  Message request(call);
  if (r >= 0) r = sd_bus_message_append(call, "ssss", kWhat, kWho, why.c_str(), mode);
  if (r >= 0) r = sd_bus_call(bus, call, static_cast<uint64_t>(SleepGuard::kAskMs) * 1000, &failure, &raw);
  Message reply(raw);
  int fd = -1;
  if (r >= 0) r = sd_bus_message_read(raw, "h", &fd);
  if (r >= 0) fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 3);  // the reply's descriptor goes with the reply
  if (r < 0 || fd < 0) {
    error = failure.message ? failure.message : std::strerror(r < 0 ? -r : errno);
    sd_bus_error_free(&failure);
    return -1;
  }
  sd_bus_error_free(&failure);
  return fd;
}

class NoGuard final : public SleepGuard {
 public:
  std::string mode() const override { return ""; }
};

}  // namespace

std::unique_ptr<SleepGuard> SleepGuard::take(const std::string& why, std::string& warning) {
  sd_bus* raw = nullptr;
  const int r = sd_bus_open_system(&raw);
  Bus bus(raw);
  std::string error;
  if (r < 0) {
    warning = std::string("no system bus (") + std::strerror(-r) + ")";
    return std::make_unique<NoGuard>();
  }
  for (const char* mode : {"block", "delay"}) {
    const int fd = inhibit(bus.get(), why, mode, error);
    if (fd >= 0) return std::make_unique<LogindGuard>(fd, mode);
  }
  warning = "logind gave no inhibitor lock (" + error + ")";
  return std::make_unique<NoGuard>();
}
