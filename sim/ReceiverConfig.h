#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Faults the virtual receiver injects on request.
struct ReceiverFaults {
  bool silent = false;               // answers nothing at all
  bool silentBootLoader = false;     // the boot loader never answers the capture pattern
  int hardwareVersion = 20;          // reported by the boot loader and "/par/rcv/ver/hw"
  int secondVersion = 1;             // the boot loader's second version byte
  int bootNakFlood = 0;              // NAK bytes sent before the version bytes (beyond the 3 of the handshake)
  bool ramChecksumNak = false;       // answer NAK to the RAM image checksum
  int dtpNakFrames = 0;              // DTP frames answered NAK before the ACK
  int dtpCorruptFrames = 0;          // DTP frames damaged on the line
  uint8_t dtpRefuseCode = 0;         // DTP frames refused with this code
  int dropLinkAfterFrames = -1;      // the cable is pulled after this many accepted DTP frames
  bool refusePut = false;            // "put" answered with an error
  std::string fldErrorBody;          // the stored-file "fld" answers with this body
  int sizeShortBy = 0;               // the size query reports this many bytes less
  bool streamAlwaysFails = false;    // every streamed "fld" transfer is refused
  bool endAckFlash = true;           // the RAM loader ends a flash transfer with 0x1E
  bool silentVersionAfterFlash = false;  // once an image was flashed the version query goes unanswered
  bool fsNeverReadyAfterFlash = false;  // once an image was flashed the file system never reports ready
  bool holdLine = false;             // nothing is read off the serial line (flow held): writes to it wait
};

// The virtual receiver's identity and behaviour.
struct ReceiverConfig {
  int rate = 115200;                 // command-port rate in bit/s
  std::string model = "VR-100";
  std::string board = "VB-2";
  std::string memory = "65536";
  std::string mainVersion = "4.2 Dec,01,2026";
  std::string versionAfterFlash = "4.3 Dec,08,2026";  // reported once an image was flashed
  std::string identity = "VR100-0001234";
  std::string serialPortName = "/dev/ser/a";  // its name for the serial port in use
  std::string powerSlots = "always";
  std::string password = "vestrel";
  bool poweredOn = true;             // false: off until powerOn()
  bool diskRemoved = false;
  int bootWindowMs = 3000;           // the boot loader listens this long after a restart
  int rebootMs = 1000;               // firmware start after the boot window
  int fsInitSteps = 3;               // file-system queries until it reports ready
  bool pace = false;                 // hold bytes to the line rate
  // The socket link is the receiver's USB port (a byte stream a USB stand-in bridges to its bulk
  // endpoints): no login, its port "/dev/usb/a"; it drops at every restart as a USB device does.
  bool socketIsUsb = false;
  ReceiverFaults faults;
};

// One image the receiver wrote to flash or ran from RAM.
struct FlashedImage {
  std::string how;                   // "flash" (RAM loader + DTP), "ram" (run from RAM), "fld", "fld-stream"
  std::vector<uint8_t> bytes;
  int capture = 0;                   // the boot-loader capture it came with (0 for "fld")
  std::string file;                  // the stored file it came from ("fld")
};
