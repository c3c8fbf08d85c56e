#include "CommandLine.h"

PlatformUsage platformUsage() {
  return {"Windows",
          "--check is the Linux pre-flight check and is not\r\n"
          "  available here. An unattended /run started from a console runs on it (its\r\n"
          "  texts printed there); --window runs it in the wizard's window instead. ",
          "  /port takes a port name (COM1, COM12). Other links:\r\n",
          "    usb:PATH                       a receiver's native USB port, as --list-ports\r\n"
          "                                   shows it (the WinUSB driver bound to it)\r\n",
          "  130 when Ctrl-C or Ctrl-Break, 129 when closing the console window, 143 when\r\n"
          "  logging off or shutting down stopped the run: the run is aborted, the log closed.\r\n",
          "  The load history is this computer's SQLite file only: a history server\r\n"
          "  (postgresql://...) is not supported on Windows.\r\n"};
}
