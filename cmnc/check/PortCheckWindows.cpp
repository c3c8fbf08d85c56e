// The pre-flight check's Windows part: the port is listed by the system, one open of it (a port
// another program holds answers "Access is denied"), the driver's name, an FTDI bridge's latency
// timer from its device parameters.
#include "CheckFindings.h"

namespace CMNC {
namespace {

const char kFindThePort[] =
    "plug the receiver's cable or adapter in and find its COM port in Device Manager (Ports (COM & LPT)) "
    "or with \"vestrel --list-ports\"";

}  // namespace

void CheckSerialPort(Findings& f, const std::string& name, const SystemProbe& probe) {
  const std::string port = probe.resolve(name);
  if (port.empty()) {
    f.problem("exists", "not among this computer's serial ports", kFindThePort);
    return;
  }
  const std::string description = probe.deviceDescription(port);
  f.ok("exists", "exists" + (description.empty() ? std::string() : " (" + description + ")"));
  // The one open: on a real port it toggles the modem lines, which can reset a board.
  switch (probe.openOnce(port)) {
    case OpenResult::HeldExclusively:
      f.problem("exclusive", "Access is denied: another program has the port open",
                "close the program that uses it (a terminal program, another receiver utility, another vestrel) and try again");
      return;
    case OpenResult::Failed:
    case OpenResult::NotTerminal: f.problem("open", "cannot be opened", kFindThePort); return;
    case OpenResult::Terminal: f.ok("open", "can be opened"); break;
  }
  CheckLatencyTimer(f, port, probe,
                    "in Device Manager open the port's Properties, Port Settings, Advanced, set Latency Timer (msec) to 1 "
                    "and plug the adapter in again");
}

void CheckUsbPort(Findings& f, const std::string& location, const SystemProbe& probe) {
  if (probe.usbDeviceNode(location).empty()) {
    f.problem("exists", "no receiver with the WinUSB driver at " + location,
              "plug the receiver in; Device Manager must show it under Universal Serial Bus devices");
    return;
  }
  f.ok("exists", "exists");
}

void CheckBluetoothAdapter(Findings& f, const SystemProbe& probe) {
  if (probe.bluetoothAdapterPresent()) f.ok("bluetooth-adapter", "a Bluetooth adapter is present");
  else f.problem("bluetooth-adapter", "no Bluetooth adapter", "plug one in or switch Bluetooth on in Settings");
}

}  // namespace CMNC
