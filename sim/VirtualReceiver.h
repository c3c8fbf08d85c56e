#pragma once
// The virtual receiver: stands in for a GNSS receiver on a pseudo-terminal and on a TCP port.
//
// What the loader relies on a receiver to do, and what this receiver therefore does:
//  - Firmware running, command port: takes 8-bit command lines ended by LF; a command with a tag
//    between percent signs is answered "RE" (or "ER" for an error), three length characters, the
//    same tag between percent signs, a body and CR LF; "dm" stops unsolicited output;
//    "set,reset,yes" restarts it; "set,/par/cur/term/rate,N" switches the rate of the port it
//    talks on. It understands the port only while the line speed matches its own rate.
//  - Identity: its name for the current port ("/dev/ser/" and a letter, "/dev/tcp/" and a letter),
//    model, board, memory, main firmware version, identity, hardware version.
//  - USB (the socket link with socketIsUsb, bridged by vestrel-usbsim): no login, "/dev/usb/a".
//  - TCP/IP: prompts "login: " and "Password: "; greets a good login with the tag
//    "Logged in on /dev/tcp/" and one port letter; a wrong password gets "Login incorrect".
//  - File system: files under "/log/"; "put" takes a file by DTP, "remove" deletes one, a file's
//    size is readable; "/par/stat/fsinit" gives two counts in braces, equal when ready;
//    "/par/dev/blk/a/removed" tells and switches whether its block device is detached.
//  - Flashing: "fld" with the receiver identity flashes a stored file, or the DTP stream that
//    follows on "/cur/term"; it answers with the tag "fld" and an empty body, then restarts.
//  - Boot loader, just after a restart or power-on: answers the 0x55 flood with 0x15; answers four
//    0x06 bytes with 0x15 bytes, then sends its hardware version and a second version byte; takes
//    one decision byte (0x01 go on, 0x00 stop); takes a RAM image and its 32-bit checksum and
//    answers 0x1E, or 0x15 on a mismatch.
//  - RAM loader: takes the optional 4-byte block-size announcement (loader version 3 and up), then
//    a flash image by DTP, which it may end with 0x1E.
//  - DTP receiving side: 0x15 when ready, 0x06 per accepted frame, 0x15 to have a frame sent
//    again, 0x21..0x2F to give up; the CRC-16 of each frame is chained from the previous one.
// After a successful "fld" and after each boot-loader load the receiver restarts.
//
// The RAM images it takes carry their length at offset 4 (big-endian) after a four-character
// kind at offset 0: "VRLD" a RAM loader, "VRBD" a board image, "VRFW" an image run from RAM.
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "DtpReceiver.h"
#include "ReceiverConfig.h"

class VirtualReceiver {
 public:
  explicit VirtualReceiver(ReceiverConfig config = {});
  ~VirtualReceiver();
  VirtualReceiver(const VirtualReceiver&) = delete;
  VirtualReceiver& operator=(const VirtualReceiver&) = delete;

  // Opens a pseudo-terminal; the loader opens ptyPath().
  bool startPty(std::string& error);
  // Listens on 127.0.0.1:port (0 picks a free port).
  bool startTcp(int port, std::string& error);
  // Runs the receiver on its own thread (after the start calls).
  void run();
  void stop();

  std::string ptyPath() const { return ptyPath_; }
  int tcpPort() const { return tcpPort_; }

  // Switches the receiver on: its boot loader listens for the capture pattern.
  void powerOn();
  void setFaults(const ReceiverFaults& faults);

  std::vector<FlashedImage> flashed() const;
  std::map<std::string, std::vector<uint8_t>> files() const;
  std::vector<std::string> commands() const;
  int captures() const;
  // The reset commands it was sent.
  int resets() const { return resets_.load(); }
  int refusedDecisions() const;
  int rate() const;

 private:
  enum class Mode { Off, BootWindow, Captured, Decision, RamImage, BlockSize, Dtp, Firmware, Rebooting };
  enum class Link { None, Pty, Tcp };
  enum class DtpPurpose { Flash, Put, Stream };
  enum class Login { Prompt, Password, Ready };

  void loop();
  void readPty();
  bool holdingLine() const;
  void acceptTcp();
  void readTcp();
  void input(Link link, const uint8_t* data, std::size_t size);
  void tick();
  void send(const uint8_t* data, std::size_t size);
  void sendText(const std::string& text);
  void reply(const std::string& tag, const std::string& body, bool error = false);
  void restart();
  void rebootAfterFld();
  void enterFirmware();
  void pullCable();
  bool lineSpeedMatches() const;
  int lineSpeed() const;

  void bootLoaderInput(const uint8_t* data, std::size_t size);
  void ramImageInput(const uint8_t* data, std::size_t size);
  void ramImageComplete();
  void startDtp(int blockSize, DtpPurpose purpose, const std::string& name);
  void dtpInput(const uint8_t* data, std::size_t size);
  void firmwareInput(const uint8_t* data, std::size_t size);
  void loginInput(const uint8_t* data, std::size_t size);
  void command(const std::string& line);
  std::string print(const std::string& what, bool& known);
  void setValue(const std::string& tag, const std::string& args);

  ReceiverConfig config_;
  mutable std::mutex mutex_;
  std::thread thread_;
  std::atomic<bool> running_{false};
  int wakeFd_ = -1;

  int ptyMaster_ = -1;
  int ptySlave_ = -1;
  std::string ptyPath_;
  int listenFd_ = -1;
  int clientFd_ = -1;
  int tcpPort_ = 0;
  Link activeLink_ = Link::None;
  Login login_ = Login::Prompt;
  std::string loginLine_;

  Mode mode_ = Mode::Firmware;
  int64_t modeUntilMs_ = 0;
  int ackCount_ = 0;
  std::vector<uint8_t> ram_;
  int64_t ramLastByteMs_ = 0;
  std::vector<uint8_t> announce_;
  uint32_t loaderVersion_ = 0;
  std::unique_ptr<DtpReceiver> dtp_;
  DtpPurpose dtpPurpose_ = DtpPurpose::Flash;
  std::string dtpName_;
  int dtpFrames_ = 0;
  std::string line_;
  int fsInitCount_ = 0;
  bool diskRemoved_ = false;
  int rate_;
  int pendingRate_ = 0;

  std::vector<FlashedImage> flashed_;
  std::map<std::string, std::vector<uint8_t>> files_;
  std::vector<std::string> commands_;
  int captures_ = 0;
  std::atomic<int> resets_{0};
  int refusedDecisions_ = 0;
};
