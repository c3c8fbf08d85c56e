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
          "  (130 Ctrl-C, 143 SIGTERM, 129 SIGHUP): the run is aborted, the log closed.\r\n",
          "  A line of stations shares one history on a PostgreSQL server: --history-db\r\n"
          "  postgresql://USER@HOST[:PORT]/DB, or VESTREL_HISTORY_DB for every run (the\r\n"
          "  fleet's children too). The URL holds no password (refused): libpq takes it\r\n"
          "  from ~/.pgpass (PGPASSFILE), PGPASSWORD or a service file. A row the server\r\n"
          "  cannot take waits in this station's history, pending, until a run reaches\r\n"
          "  the server; --sync-history sends the waiting rows now.\r\n",
          "  The station's trusted keys are the *.pub files in /etc/vestrel/trusted-keys/;\r\n"
          "  \"require-signature = yes\" in /etc/vestrel/vestrel.conf requires signatures.\r\n"};
}
