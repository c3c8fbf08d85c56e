#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace CMNC {

// What a character device is, by what the system shows of it without opening it.
enum class TtyNode {
  SerialDevice,    // a terminal with a device behind it (a UART, a USB-serial bridge, a modem)
  PseudoTerminal,  // the far end of a pseudo-terminal (a simulator, a relay)
  WithoutDevice,   // a terminal with no device behind it (a console, /dev/tty)
  NotTty,          // no terminal at all (/dev/null, a disk)
};

// What opening a device once found.
enum class OpenResult { Terminal, NotTerminal, HeldExclusively, Failed };

// A process that has a device open.
struct DeviceHolder {
  int pid = 0;
  std::string name;  // the program's name as the system tells it; empty when it does not
};

// What the pre-flight check asks of the system about a port. Each question is answered from what
// the system shows (Linux: device nodes, the process table, the group database, udev's data;
// Windows: SetupAPI, the registry's serial-port map and the device parameters); none opens
// a device for longer than the question needs or writes to it. Called from one thread; never
// blocks for long; a question that cannot be answered gets the cautious answer named below.
class SystemProbe {
 public:
  virtual ~SystemProbe() = default;
  // The path with its links resolved; empty when nothing is there.
  virtual std::string resolve(const std::string& path) const = 0;
  virtual bool isCharacterDevice(const std::string& path) const = 0;
  // What the character device is (Linux: sysfs's tty class and the pseudo-terminals' device
  // numbers); never opens it.
  virtual TtyNode ttyNode(const std::string& path) const = 0;
  // Opens the device once, without waiting for a carrier, and closes it at once.
  virtual OpenResult openOnce(const std::string& path) const = 0;
  // This process may read and write it.
  virtual bool mayReadWrite(const std::string& path) const = 0;
  // The name of the device's group ("dialout"); empty when unknown.
  virtual std::string groupOf(const std::string& path) const = 0;
  // The group is one of this process's groups.
  virtual bool inGroup(const std::string& group) const = 0;
  // The user is listed in the group in the group database (maybe not yet in this login's groups).
  virtual bool listedInGroup(const std::string& group) const = 0;
  virtual std::string userName() const = 0;
  // Other processes with the device open.
  virtual std::vector<DeviceHolder> holders(const std::string& path) const = 0;
  virtual bool modemManagerRunning() const = 0;
  // A USB-serial bridge's latency timer in ms (how long it holds received bytes before it passes
  // them on); nullopt when the device is no such bridge or does not tell.
  virtual std::optional<int> latencyTimerMs(const std::string& path) const = 0;
  // A udev property of the device ("ID_MM_DEVICE_IGNORE"); nullopt when udev has none.
  virtual std::optional<std::string> udevProperty(const std::string& path, const std::string& key) const = 0;
  // The device node of a USB device at "BUS-PORT[.PORT...]"; empty when none is there.
  virtual std::string usbDeviceNode(const std::string& location) const = 0;
  // Vestrel's udev rule file is installed; its path, or empty.
  virtual std::string installedUdevRule() const = 0;
  virtual bool bluetoothAdapterPresent() const = 0;
  // What the system calls the device ("USB Serial Port (COM5)"); empty when it does not say.
  virtual std::string deviceDescription(const std::string&) const { return ""; }
};

// The probe of this computer.
std::unique_ptr<SystemProbe> MakeSystemProbe();

}  // namespace CMNC
