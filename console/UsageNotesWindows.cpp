#include "CommandLine.h"

PlatformUsage platformUsage() {
  return {"Windows",
          "--check [/port PORT] checks that a port (or every listed port) can be\r\n"
          "  used: the system lists it (with its driver's name), it can be opened (not\r\n"
          "  held by another program), an FTDI bridge's latency timer; each line says OK\r\n"
          "  or the remedy; exit 0 only when it can be used; with --json the findings as\r\n"
          "  a JSON array. vestrel.exe runs in the console it is started from (an\r\n"
          "  unattended /run runs there; --window runs it in the wizard's window);\r\n"
          "  vestrelw.exe, for the Start menu, shows every run in the window. ",
          "  /port takes a port name (COM1, COM12). Other links:\r\n",
          "    usb:PATH                       a receiver's native USB port, as --list-ports\r\n"
          "                                   shows it (the WinUSB driver bound to it)\r\n",
          "  130 when Ctrl-C or Ctrl-Break, 129 when closing the console window, 143 when\r\n"
          "  logging off or shutting down stopped the run: the run is aborted, the log closed.\r\n",
          "  The load history is this computer's SQLite file, or the line service's\r\n"
          "  (below): a PostgreSQL server (postgresql://...) is not reached from Windows.\r\n",
          "  The station's trusted keys are the *.pub files in\r\n"
          "  %ProgramData%\\Vestrel\\trusted-keys\\; the machine policy RequireSignature = 1\r\n"
          "  (DWORD, HKLM\\SOFTWARE\\Policies\\Vestrel) requires signatures.\r\n"};
}
