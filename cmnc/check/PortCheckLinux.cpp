// The pre-flight check's Linux part: device nodes, permissions and groups, other holders,
// ModemManager, udev's rule, a bridge's latency timer in sysfs.
#include "CheckFindings.h"
#include "CSerialPort.h"

namespace CMNC {
namespace {

const char kUdevRuleRemedy[] =
    "install Vestrel's udev rule (the package installs /usr/lib/udev/rules.d/60-vestrel.rules; from a build, "
    "sudo cp packaging/60-vestrel.rules /etc/udev/rules.d/), run "
    "\"sudo udevadm control --reload && sudo udevadm trigger\" and plug the receiver in again";

const char kListPorts[] = "plug the receiver in, or list the ports with \"vestrel --list-ports\"";
const char kNameASerialPort[] = "name a serial port such as /dev/ttyUSB0 (see \"vestrel --list-ports\")";

// May this user open it, and if not, what to do about it.
bool checkAccess(Findings& f, const std::string& path, const SystemProbe& probe) {
  if (probe.mayReadWrite(path)) {
    f.ok("access", "this user may open it");
    return true;
  }
  const std::string group = probe.groupOf(path);
  const std::string user = probe.userName().empty() ? "$USER" : probe.userName();
  if (!group.empty() && group != "root" && probe.listedInGroup(group) && !probe.inGroup(group)) {
    f.problem("access", "no permission: " + user + " was added to the group " + group + ", but this login does not have it yet",
              "log out and in again (or run \"newgrp " + group + "\")");
  } else if (!group.empty() && group != "root") {
    f.problem("access", "no permission: the device belongs to the group " + group,
              "add the user to it with \"sudo usermod -aG " + group + " " + user + "\", then log out and in again");
  } else {
    f.problem("access", "no permission", kUdevRuleRemedy);
  }
  return false;
}

// True when nothing holds it. The other end of a pseudo-terminal (a simulator, a relay) holds it
// by design: that is only worth a warning.
bool checkHolders(Findings& f, const std::string& path, const SystemProbe& probe) {
  const bool pseudo = path.rfind("/dev/pts/", 0) == 0;
  const std::vector<DeviceHolder> holders = probe.holders(path);
  if (!holders.empty()) {
    std::string names;
    for (const DeviceHolder& h : holders)
      names += (names.empty() ? "" : ", ") + (h.name.empty() ? "a program" : h.name) + " (process " +
               std::to_string(h.pid) + ")";
    if (pseudo) {
      f.warn("holders", "also open in " + names, "on a pseudo-terminal that may be its other end; if not, close that program");
      return true;
    }
    f.problem("holders", "in use by " + names, "close that program first");
    return false;
  }
  f.ok("holders", "no other program holds it");
  return true;
}

void checkModemManager(Findings& f, const std::string& path, const SystemProbe& probe) {
  if (!probe.modemManagerRunning()) {
    f.ok("modem-manager", "ModemManager is not running");
  } else if (probe.udevProperty(path, "ID_MM_DEVICE_IGNORE").value_or("") == "1") {
    f.ok("modem-manager", "ModemManager is running and told to leave this port alone");
  } else {
    f.warn("modem-manager", "ModemManager is running and may probe this port in its first seconds, corrupting the load",
           std::string(kUdevRuleRemedy) + "; or stop it with \"sudo systemctl stop ModemManager\"");
  }
}

// What the node is, from what the system shows without opening it.
bool checkSerialNode(Findings& f, const std::string& real, const SystemProbe& probe) {
  if (!probe.isCharacterDevice(real)) {
    f.problem("serial-device", "not a serial device", kNameASerialPort);
    return false;
  }
  switch (probe.ttyNode(real)) {
    case TtyNode::SerialDevice:
    case TtyNode::PseudoTerminal: return true;
    case TtyNode::WithoutDevice:
      f.problem("serial-device", "a terminal without a serial device behind it", kNameASerialPort);
      return false;
    case TtyNode::NotTty: break;
  }
  f.problem("serial-device", "not a serial device", kNameASerialPort);
  return false;
}

}  // namespace

void CheckSerialPort(Findings& f, const std::string& name, const SystemProbe& probe) {
  const std::string path = CSerialPort::ResolveDevicePath(name);
  const std::string real = probe.resolve(path);
  if (real.empty()) {
    f.problem("exists", "no such device " + path, kListPorts);
    return;
  }
  f.ok("exists", "exists" + (real != path ? " (" + real + ")" : std::string()));
  if (!checkSerialNode(f, real, probe)) return;
  if (!checkAccess(f, real, probe)) return;
  // The one open: on a real port it toggles the modem lines, which can reset a board.
  switch (probe.openOnce(real)) {
    case OpenResult::HeldExclusively:
      f.problem("exclusive", "held exclusively by another program", "close the program that has the port open");
      return;
    case OpenResult::NotTerminal: f.problem("terminal", "not a terminal", kNameASerialPort); return;
    case OpenResult::Failed: f.problem("terminal", "cannot be opened", kListPorts); return;
    case OpenResult::Terminal: f.ok("terminal", "is a terminal"); break;
  }
  if (!checkHolders(f, real, probe)) return;
  if (real.rfind("/dev/pts/", 0) != 0) checkModemManager(f, real, probe);  // it never probes pseudo-terminals
  const std::string device = real.substr(real.rfind('/') + 1);
  CheckLatencyTimer(f, real, probe,
                    "Vestrel asks its driver for low latency (1 ms) while it loads; for every program, "
                    "\"echo 1 | sudo tee /sys/bus/usb-serial/devices/" + device + "/latency_timer\" or a udev rule that sets it");
}

void CheckUsbPort(Findings& f, const std::string& location, const SystemProbe& probe) {
  const std::string node = probe.usbDeviceNode(location);
  if (node.empty()) {
    f.problem("exists", "no USB device at " + location, kListPorts);
    return;
  }
  f.ok("exists", "exists (" + node + ")");
  const std::string rule = probe.installedUdevRule();
  if (rule.empty()) f.warn("udev-rule", "Vestrel's udev rule is not installed", kUdevRuleRemedy);
  else f.ok("udev-rule", "udev rule installed (" + rule + ")");
  if (!checkAccess(f, node, probe)) return;
  checkHolders(f, node, probe);
}


void CheckBluetoothAdapter(Findings& f, const SystemProbe& probe) {
  if (probe.bluetoothAdapterPresent()) f.ok("bluetooth-adapter", "a Bluetooth adapter is present");
  else f.problem("bluetooth-adapter", "no Bluetooth adapter", "plug one in or switch it on (\"rfkill unblock bluetooth\")");
}

}  // namespace CMNC
