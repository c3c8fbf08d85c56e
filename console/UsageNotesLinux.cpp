#include "CommandLine.h"

PlatformUsage platformUsage() {
  return {"Linux",
          "--check [/port PORT] checks that a port (or every listed port) can be\r\n"
          "  used: it exists, is a terminal, may be opened by this user, is not held by\r\n"
          "  another program, is left alone by ModemManager; each line says OK or the remedy;\r\n"
          "  exit 0 only when it can be used; with --json the findings as a JSON array.\r\n"
          "  A serial device is confirmed through sysfs before it is opened, and opened\r\n"
          "  once at most. ",
          "  /port takes a device name or path (ttyUSB0, /dev/ttyACM0, a pseudo-terminal);\r\n"
          "  COMn stands for /dev/ttyS(n-1). Other links:\r\n",
          "    usb:BUS-PORT[.PORT...]         a receiver's native USB port\r\n",
          "  128 + the signal's number when a signal stopped the run\r\n"
          "  (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP): the run is aborted, the log closed.\r\n"};
}
