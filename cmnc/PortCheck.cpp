#include "PortCheck.h"

#include <algorithm>

#include "CSerialPort.h"

namespace CMNC {
namespace {

using Verdict = CheckFinding::Verdict;

const char kUdevRuleRemedy[] =
    "install Vestrel's udev rule (the package installs /usr/lib/udev/rules.d/60-vestrel.rules; from a build, "
    "sudo cp packaging/60-vestrel.rules /etc/udev/rules.d/), run "
    "\"sudo udevadm control --reload && sudo udevadm trigger\" and plug the receiver in again";

class Findings {
 public:
  void ok(const std::string& text) { list_.push_back({Verdict::Ok, text}); }
  void warn(const std::string& text) { list_.push_back({Verdict::Warning, text}); }
  void problem(const std::string& text) { list_.push_back({Verdict::Problem, text}); }
  std::vector<CheckFinding> take() { return std::move(list_); }

 private:
  std::vector<CheckFinding> list_;
};

// May this user open it, and if not, what to do about it.
bool checkAccess(Findings& f, const std::string& path, const SystemProbe& probe) {
  if (probe.mayReadWrite(path)) {
    f.ok("this user may open it");
    return true;
  }
  const std::string group = probe.groupOf(path);
  const std::string user = probe.userName().empty() ? "$USER" : probe.userName();
  if (!group.empty() && group != "root" && probe.listedInGroup(group) && !probe.inGroup(group)) {
    f.problem("no permission: " + user + " was added to the group " + group +
              ", but this login does not have it yet: log out and in again (or run \"newgrp " + group + "\")");
  } else if (!group.empty() && group != "root") {
    f.problem("no permission: the device belongs to the group " + group + ": add the user to it with \"sudo usermod -aG " +
              group + " " + user + "\", then log out and in again");
  } else {
    f.problem(std::string("no permission: ") + kUdevRuleRemedy);
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
      f.warn("also open in " + names + ": on a pseudo-terminal that may be its other end; if not, close that program");
      return true;
    }
    f.problem("in use by " + names + ": close that program first");
    return false;
  }
  f.ok("no other program holds it");
  return true;
}

void checkModemManager(Findings& f, const std::string& path, const SystemProbe& probe) {
  if (!probe.modemManagerRunning()) {
    f.ok("ModemManager is not running");
  } else if (probe.udevProperty(path, "ID_MM_DEVICE_IGNORE").value_or("") == "1") {
    f.ok("ModemManager is running and told to leave this port alone");
  } else {
    f.warn("ModemManager is running and may probe this port in its first seconds, corrupting the load: " +
           std::string(kUdevRuleRemedy) + "; or stop it with \"sudo systemctl stop ModemManager\"");
  }
}

void checkSerial(Findings& f, const std::string& name, const SystemProbe& probe) {
  const std::string path = CSerialPort::ResolveDevicePath(name);
  const std::string real = probe.resolve(path);
  if (real.empty()) {
    f.problem("no such device " + path + ": plug the receiver in, or list the ports with \"vestrel --list-ports\"");
    return;
  }
  f.ok("exists" + (real != path ? " (" + real + ")" : std::string()));
  if (!probe.isCharacterDevice(real)) {
    f.problem("not a serial device: name a serial port such as /dev/ttyUSB0 (see \"vestrel --list-ports\")");
    return;
  }
  if (!checkAccess(f, real, probe)) return;
  if (probe.heldExclusively(real)) {  // it cannot even be opened to see what it is
    f.problem("held exclusively by another program: close the program that has the port open");
    return;
  }
  if (!probe.isTerminal(real)) {
    f.problem("not a terminal: name a serial port such as /dev/ttyUSB0 (see \"vestrel --list-ports\")");
    return;
  }
  f.ok("is a terminal");
  if (!checkHolders(f, real, probe)) return;
  if (real.rfind("/dev/pts/", 0) != 0) checkModemManager(f, real, probe);  // it never probes pseudo-terminals
}

void checkUsb(Findings& f, const std::string& address, const SystemProbe& probe) {
  const std::string location = address.rfind("usb:", 0) == 0 ? address.substr(4) : address;
  const std::string node = probe.usbDeviceNode(location);
  if (node.empty()) {
    f.problem("no USB device at " + location + ": plug the receiver in, or list the ports with \"vestrel --list-ports\"");
    return;
  }
  f.ok("exists (" + node + ")");
  const std::string rule = probe.installedUdevRule();
  if (rule.empty()) f.warn(std::string("Vestrel's udev rule is not installed: ") + kUdevRuleRemedy);
  else f.ok("udev rule installed (" + rule + ")");
  if (!checkAccess(f, node, probe)) return;
  checkHolders(f, node, probe);
}

}  // namespace

std::vector<CheckFinding> CheckPort(const PortEntry& port, const SystemProbe& probe) {
  Findings f;
  switch (port.kind) {
    case ConnectionKind::Usb: checkUsb(f, port.address, probe); break;
    case ConnectionKind::Bluetooth:
      if (probe.bluetoothAdapterPresent()) f.ok("a Bluetooth adapter is present");
      else f.problem("no Bluetooth adapter: plug one in or switch it on (\"rfkill unblock bluetooth\")");
      break;
    case ConnectionKind::Tcpip: f.ok("a network link: nothing to check on this computer"); break;
    default: checkSerial(f, port.address.empty() ? port.name : port.address, probe); break;
  }
  return f.take();
}

bool PortUsable(const std::vector<CheckFinding>& findings) {
  return std::none_of(findings.begin(), findings.end(),
                      [](const CheckFinding& c) { return c.verdict == Verdict::Problem; });
}

std::string CheckLine(const std::string& port, const CheckFinding& finding) {
  const char* head = finding.verdict == Verdict::Ok ? "OK      " : finding.verdict == Verdict::Warning ? "WARNING " : "PROBLEM ";
  return head + port + ": " + finding.text;
}

}  // namespace CMNC
