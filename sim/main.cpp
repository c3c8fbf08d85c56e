// vestrel-sim: the virtual receiver on a pseudo-terminal (and optionally a TCP port).
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "ReplayReceiver.h"
#include "VirtualReceiver.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void onSignal(int) { g_stop = 1; }

void usage() {
  std::cout << "usage: vestrel-sim [--rate N] [--tcp PORT | --usb-link PORT] [--password TEXT] [--off] [--power-on-after MS]\n"
               "                   [--pace] [--hardware N] [--port-name NAME] [--path-file FILE]\n"
               "                   [--main-version TEXT] [--version-after TEXT] [--silent-after-flash]\n"
               "                   [--flashed-dir DIR] [--drop-link-after FRAMES] [--identity TEXT] [--hold-line]\n"
               "                   [--model NAME] [--fs-never-ready]\n"
               "Opens a pseudo-terminal and prints the path to open; with --tcp also listens on\n"
               "127.0.0.1:PORT. Runs until interrupted; then, with --flashed-dir, writes each image\n"
               "it flashed or ran, in order, to DIR/<n>-<how>.bin (how: flash, ram, fld, fld-stream).\n"
               "--drop-link-after FRAMES pulls the cable after that many accepted DTP frames.\n"
               "--hold-line reads nothing off the serial line, so that writes to it wait.\n"
               "--hardware N is the hardware version the receiver tells (20); --model NAME its model.\n"
               "--fs-never-ready: once an image was flashed, the file system never reports ready.\n"
               "--report FILE: when stopped, writes the resets, captures and images flashed to FILE.\n"
               "--usb-link PORT listens on 127.0.0.1:PORT as the receiver's USB port (no login,\n"
               "dropped at every restart), for vestrel-usbsim to bridge; prints usb-link:HOST:PORT.\n"
               "--fld-error TEXT answers a stored-file \"fld\" with TEXT (a refused flash).\n"
               "--replay FILE [--report F] plays the receiver's side of an exchange recording\n"
               "(vestrel --record) on a pseudo-terminal, or with --tcp PORT on TCP/IP as the\n"
               "recording's link says; where the loader leaves the recording it says so (also in F),\n"
               "goes silent and exits 3 when stopped.\n";
}

// What the receiver flashed, for a test on the other side of a process boundary to compare.
void writeFlashed(const VirtualReceiver& receiver, const std::string& dir) {
  int n = 0;
  for (const FlashedImage& image : receiver.flashed()) {
    std::ofstream out(dir + "/" + std::to_string(++n) + "-" + image.how + ".bin", std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.bytes.data()), static_cast<std::streamsize>(image.bytes.size()));
  }
}

}  // namespace

// "--replay FILE": the receiver's side of an exchange recording, on the link the recording names.
int replay(const std::string& file, int tcpPort, const std::string& pathFile, const std::string& reportFile) {
  ReplayReceiver receiver(file);
  std::string error = receiver.error();
  if (error.empty() && (receiver.link() == "tcpip") != (tcpPort >= 0))
    error = receiver.link() == "tcpip" ? "the recording is of a TCP/IP link: give --tcp PORT"
                                       : "the recording is of a serial link: --tcp does not apply";
  if (error.empty() && !(receiver.link() == "tcpip" ? receiver.listenTcp(tcpPort, error) : receiver.openPty(error)) && error.empty())
    error = "cannot open the link";
  if (!error.empty()) {
    std::cerr << "vestrel-sim: " << error << "\n";
    return 1;
  }
  const std::string where = receiver.link() == "tcpip" ? "tcp:127.0.0.1:" + std::to_string(receiver.tcpPort()) : receiver.ptyPath();
  std::cout << where << std::endl;
  if (!pathFile.empty()) {
    if (FILE* f = std::fopen(pathFile.c_str(), "w")) {
      std::fprintf(f, "%s\n", where.c_str());
      std::fclose(f);
    }
  }
  signal(SIGINT, onSignal);
  signal(SIGTERM, onSignal);
  const std::string report = receiver.run(g_stop);
  if (!report.empty()) {
    std::cerr << report << std::endl;
    if (!reportFile.empty()) {
      if (FILE* f = std::fopen(reportFile.c_str(), "w")) {
        std::fprintf(f, "%s\n", report.c_str());
        std::fclose(f);
      }
    }
  }
  receiver.idle(g_stop);
  return report.empty() ? 0 : 3;
}

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a reader that goes away stops that output only
  ReceiverConfig config;
  std::string replayFile, reportFile;
  int tcpPort = -1;
  int powerOnAfterMs = -1;
  std::string pathFile;
  std::string flashedDir;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--rate" && more) config.rate = std::atoi(argv[++i]);
    else if (a == "--tcp" && more) tcpPort = std::atoi(argv[++i]);
    else if (a == "--usb-link" && more) tcpPort = std::atoi(argv[++i]), config.socketIsUsb = true;
    else if (a == "--password" && more) config.password = argv[++i];
    else if (a == "--off") config.poweredOn = false;
    else if (a == "--power-on-after" && more) powerOnAfterMs = std::atoi(argv[++i]), config.poweredOn = false;
    else if (a == "--pace") config.pace = true;
    else if (a == "--hardware" && more) config.faults.hardwareVersion = std::atoi(argv[++i]);
    else if (a == "--port-name" && more) config.serialPortName = argv[++i];
    else if (a == "--path-file" && more) pathFile = argv[++i];
    else if (a == "--main-version" && more) config.mainVersion = argv[++i];
    else if (a == "--version-after" && more) config.versionAfterFlash = argv[++i];
    else if (a == "--silent-after-flash") config.faults.silentVersionAfterFlash = true;
    else if (a == "--flashed-dir" && more) flashedDir = argv[++i];
    else if (a == "--drop-link-after" && more) config.faults.dropLinkAfterFrames = std::atoi(argv[++i]);
    else if (a == "--identity" && more) config.identity = argv[++i];
    else if (a == "--model" && more) config.model = argv[++i];
    else if (a == "--fs-never-ready") config.faults.fsNeverReadyAfterFlash = true;
    else if (a == "--hold-line") config.faults.holdLine = true;
    else if (a == "--replay" && more) replayFile = argv[++i];
    else if (a == "--fld-error" && more) config.faults.fldErrorBody = argv[++i];
    else if (a == "--report" && more) reportFile = argv[++i];
    else {
      usage();
      return a == "--help" ? 0 : 2;
    }
  }
  if (!replayFile.empty()) return replay(replayFile, tcpPort, pathFile, reportFile);
  VirtualReceiver receiver(config);
  std::string error;
  if (!receiver.startPty(error) || (tcpPort >= 0 && !receiver.startTcp(tcpPort, error))) {
    std::cerr << "vestrel-sim: " << error << "\n";
    return 1;
  }
  receiver.run();
  std::cout << receiver.ptyPath() << std::endl;
  if (tcpPort >= 0 && config.socketIsUsb) std::cout << "usb-link:127.0.0.1:" << receiver.tcpPort() << std::endl;
  else if (tcpPort >= 0) std::cout << "tcp:127.0.0.1:" << receiver.tcpPort() << ":" << config.password << std::endl;
  if (!pathFile.empty()) {
    FILE* f = std::fopen(pathFile.c_str(), "w");
    if (f) {
      std::fprintf(f, "%s\n", receiver.ptyPath().c_str());
      std::fclose(f);
    }
  }
  signal(SIGINT, onSignal);
  signal(SIGTERM, onSignal);
  int waited = 0;
  while (!g_stop) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    waited += 50;
    if (powerOnAfterMs >= 0 && waited >= powerOnAfterMs) {
      receiver.powerOn();
      powerOnAfterMs = -1;
    }
  }
  receiver.stop();
  if (!flashedDir.empty()) writeFlashed(receiver, flashedDir);
  if (!reportFile.empty()) {
    if (FILE* f = std::fopen(reportFile.c_str(), "w")) {
      std::fprintf(f, "resets %d\ncaptures %d\nflashed %zu\n", receiver.resets(), receiver.captures(),
                   receiver.flashed().size());
      std::fclose(f);
    }
  }
  return 0;
}
