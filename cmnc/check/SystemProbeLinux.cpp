// The pre-flight check's questions answered from Linux: /dev, /proc, the group database and
// udev's device data.
#include <fcntl.h>
#include <grp.h>
#include <libudev.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "BluetoothAvailability.h"
#include "SystemProbe.h"

namespace CMNC {
namespace {

namespace fs = std::filesystem;

// The far ends of pseudo-terminals (/dev/pts/N) have these device numbers' major numbers.
constexpr unsigned kPtySlaveFirstMajor = 136;
constexpr unsigned kPtySlaveMajors = 8;

const char* const kUdevRuleFiles[] = {"/etc/udev/rules.d/60-vestrel.rules", "/usr/lib/udev/rules.d/60-vestrel.rules",
                                      "/lib/udev/rules.d/60-vestrel.rules", "/etc/udev/rules.d/70-vestrel.rules"};

std::string firstLine(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

// Opens without waiting for a carrier and without becoming the controlling terminal.
int openBriefly(const std::string& path) { return ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC); }

class LinuxProbe final : public SystemProbe {
 public:
  std::string resolve(const std::string& path) const override {
    std::error_code ec;
    const fs::path p = fs::canonical(path, ec);
    return ec ? std::string() : p.string();
  }

  bool isCharacterDevice(const std::string& path) const override {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
  }

  TtyNode ttyNode(const std::string& path) const override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return TtyNode::NotTty;
    const unsigned maj = major(st.st_rdev);
    if (maj >= kPtySlaveFirstMajor && maj < kPtySlaveFirstMajor + kPtySlaveMajors) return TtyNode::PseudoTerminal;
    std::error_code ec;
    if (!fs::exists("/sys/dev/char", ec)) return TtyNode::SerialDevice;  // no sysfs here: the open decides
    const fs::path node = fs::path("/sys/dev/char") / (std::to_string(maj) + ":" + std::to_string(minor(st.st_rdev)));
    if (fs::read_symlink(node / "subsystem", ec).filename() != "tty") return TtyNode::NotTty;
    return fs::exists(node / "device", ec) ? TtyNode::SerialDevice : TtyNode::WithoutDevice;
  }

  OpenResult openOnce(const std::string& path) const override {
    const int fd = openBriefly(path);
    if (fd < 0) return errno == EBUSY ? OpenResult::HeldExclusively : OpenResult::Failed;
    const bool tty = ::isatty(fd) != 0;
    ::close(fd);
    return tty ? OpenResult::Terminal : OpenResult::NotTerminal;
  }

  bool mayReadWrite(const std::string& path) const override { return ::access(path.c_str(), R_OK | W_OK) == 0; }

  std::string groupOf(const std::string& path) const override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    const group* g = ::getgrgid(st.st_gid);
    return g ? g->gr_name : "";
  }

  bool inGroup(const std::string& name) const override {
    const group* g = ::getgrnam(name.c_str());
    if (!g) return false;
    if (::getegid() == g->gr_gid) return true;
    const int n = ::getgroups(0, nullptr);
    if (n <= 0) return false;
    std::vector<gid_t> ids(static_cast<std::size_t>(n));
    const int got = ::getgroups(n, ids.data());
    for (int i = 0; i < got; ++i)
      if (ids[static_cast<std::size_t>(i)] == g->gr_gid) return true;
    return false;
  }

  bool listedInGroup(const std::string& name) const override {
    const group* g = ::getgrnam(name.c_str());
    if (!g) return false;
    const std::string user = userName();
    for (char** m = g->gr_mem; m && *m; ++m)
      if (user == *m) return true;
    const passwd* pw = ::getpwnam(user.c_str());
    return pw && pw->pw_gid == g->gr_gid;
  }

  std::string userName() const override {
    const passwd* pw = ::getpwuid(::geteuid());
    return pw ? pw->pw_name : "";
  }

  std::vector<DeviceHolder> holders(const std::string& path) const override {
    std::vector<DeviceHolder> found;
    const std::string target = resolve(path);
    if (target.empty()) return found;
    const std::string self = std::to_string(::getpid());
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
      const std::string pid = proc.path().filename().string();
      if (pid.find_first_not_of("0123456789") != std::string::npos || pid == self) continue;
      std::error_code fdEc;
      for (const auto& fd : fs::directory_iterator(proc.path() / "fd", fdEc)) {
        std::error_code linkEc;
        if (fs::read_symlink(fd.path(), linkEc).string() != target) continue;
        found.push_back({std::stoi(pid), firstLine(proc.path() / "comm")});
        break;
      }
    }
    return found;
  }

  bool modemManagerRunning() const override {
    std::error_code ec;
    for (const auto& proc : fs::directory_iterator("/proc", ec)) {
      const std::string pid = proc.path().filename().string();
      if (pid.find_first_not_of("0123456789") == std::string::npos && firstLine(proc.path() / "comm") == "ModemManager")
        return true;
    }
    return false;
  }

  std::optional<int> latencyTimerMs(const std::string& path) const override {
    const std::string value = firstLine(fs::path("/sys/bus/usb-serial/devices") / fs::path(path).filename() / "latency_timer");
    if (value.empty() || value.find_first_not_of("0123456789") != std::string::npos || value.size() > 4) return std::nullopt;
    return std::atoi(value.c_str());
  }

  std::optional<std::string> udevProperty(const std::string& path, const std::string& key) const override {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISCHR(st.st_mode)) return std::nullopt;
    std::unique_ptr<udev, decltype(&udev_unref)> ctx(udev_new(), &udev_unref);
    if (!ctx) return std::nullopt;
    std::unique_ptr<udev_device, decltype(&udev_device_unref)> dev(
        udev_device_new_from_devnum(ctx.get(), 'c', st.st_rdev), &udev_device_unref);
    if (!dev) return std::nullopt;
    const char* value = udev_device_get_property_value(dev.get(), key.c_str());
    return value ? std::optional<std::string>(value) : std::nullopt;
  }

  std::string usbDeviceNode(const std::string& location) const override {
    const fs::path dir = fs::path("/sys/bus/usb/devices") / location;
    const std::string bus = firstLine(dir / "busnum"), dev = firstLine(dir / "devnum");
    if (bus.empty() || dev.empty()) return {};
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", std::atoi(bus.c_str()), std::atoi(dev.c_str()));
    return node;
  }

  std::string installedUdevRule() const override {
    for (const char* file : kUdevRuleFiles) {
      std::error_code ec;
      if (fs::exists(file, ec)) return file;
    }
    return {};
  }

  bool bluetoothAdapterPresent() const override { return BluetoothAvailable(); }
};

}  // namespace

std::unique_ptr<SystemProbe> MakeSystemProbe() { return std::make_unique<LinuxProbe>(); }

}  // namespace CMNC
