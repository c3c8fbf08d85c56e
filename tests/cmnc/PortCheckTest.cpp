#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <fstream>

#include "FakeProbe.h"
#include "PortCheck.h"
#include "TempDir.h"

namespace {

using CMNC::CheckFinding;
using Verdict = CheckFinding::Verdict;

const PortEntry kSerial{"ttyUSB0", "", "/dev/ttyUSB0", ConnectionKind::Serial};
const PortEntry kUsb{"USB", "", "1-2", ConnectionKind::Usb};

std::string last(const std::vector<CheckFinding>& findings) {
  if (findings.empty()) return "";
  const CheckFinding& f = findings.back();
  return f.text + (f.remedy.empty() ? "" : ": " + f.remedy);
}

}  // namespace

TEST(PortCheck, AUsableSerialPortIsOkLineByLine) {
  FakeProbe probe;
  const auto findings = CMNC::CheckPort(kSerial, probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  ASSERT_EQ(findings.size(), 5u);
  EXPECT_EQ(CMNC::CheckLine("/dev/ttyUSB0", findings[0]), "OK      /dev/ttyUSB0: exists");
  EXPECT_EQ(last(findings), "ModemManager is not running");
}

TEST(PortCheck, EachSerialProblemEndsTheCheckWithItsRemedy) {
  FakeProbe missing;
  missing.real.clear();
  EXPECT_NE(last(CMNC::CheckPort(kSerial, missing)).find("no such device /dev/ttyUSB0: plug the receiver in"),
            std::string::npos);

  FakeProbe file;
  file.charDevice = false;
  EXPECT_NE(last(CMNC::CheckPort(kSerial, file)).find("not a serial device"), std::string::npos);

  FakeProbe notTty;
  notTty.opened = CMNC::OpenResult::NotTerminal;
  EXPECT_NE(last(CMNC::CheckPort(kSerial, notTty)).find("not a terminal"), std::string::npos);

  FakeProbe noGroup;
  noGroup.access = false;
  auto findings = CMNC::CheckPort(kSerial, noGroup);
  EXPECT_FALSE(CMNC::PortUsable(findings));
  EXPECT_NE(last(findings).find("\"sudo usermod -aG dialout surveyor\", then log out and in again"), std::string::npos);

  FakeProbe notYet;  // added to the group, but this login predates it
  notYet.access = false;
  notYet.listed = true;
  EXPECT_NE(last(CMNC::CheckPort(kSerial, notYet)).find("log out and in again (or run \"newgrp dialout\")"),
            std::string::npos);

  FakeProbe rootOnly;  // a device only a udev rule opens up
  rootOnly.access = false;
  rootOnly.group = "root";
  EXPECT_NE(last(CMNC::CheckPort(kSerial, rootOnly)).find("60-vestrel.rules"), std::string::npos);

  FakeProbe held;
  held.holding = {{4242, "minicom"}, {4343, ""}};
  findings = CMNC::CheckPort(kSerial, held);
  EXPECT_FALSE(CMNC::PortUsable(findings));
  EXPECT_EQ(last(findings), "in use by minicom (process 4242), a program (process 4343): close that program first");

  FakeProbe exclusive;
  exclusive.opened = CMNC::OpenResult::HeldExclusively;
  EXPECT_NE(last(CMNC::CheckPort(kSerial, exclusive)).find("held exclusively"), std::string::npos);
}

TEST(PortCheck, ModemManagerIsAWarningUnlessToldToLeaveThePortAlone) {
  FakeProbe probe;
  probe.modemManager = true;
  auto findings = CMNC::CheckPort(kSerial, probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  EXPECT_EQ(findings.back().verdict, Verdict::Warning);
  EXPECT_NE(last(findings).find("sudo systemctl stop ModemManager"), std::string::npos);
  probe.ignore = "1";
  findings = CMNC::CheckPort(kSerial, probe);
  EXPECT_EQ(findings.back().verdict, Verdict::Ok);
  probe.real = "/dev/pts/7";  // never probed; its other end holds it by design
  probe.ignore.reset();
  probe.holding = {{17, "vestrel-sim"}};
  findings = CMNC::CheckPort({"", "", "/dev/pts/7", ConnectionKind::Serial}, probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  EXPECT_EQ(findings.back().verdict, Verdict::Warning);
}

TEST(PortCheck, UsbAndBluetoothAndNetworkLinks) {
  FakeProbe probe;
  auto findings = CMNC::CheckPort(kUsb, probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  EXPECT_EQ(findings[1].verdict, Verdict::Warning);  // no udev rule
  probe.rule = "/usr/lib/udev/rules.d/60-vestrel.rules";
  probe.access = false;
  probe.group = "root";
  findings = CMNC::CheckPort(kUsb, probe);
  EXPECT_EQ(findings[1].text, "udev rule installed (/usr/lib/udev/rules.d/60-vestrel.rules)");
  EXPECT_FALSE(CMNC::PortUsable(findings));
  probe.usbNode.clear();
  EXPECT_NE(last(CMNC::CheckPort(kUsb, probe)).find("no USB device at 1-2"), std::string::npos);

  probe.bluetooth = false;
  EXPECT_FALSE(CMNC::PortUsable(CMNC::CheckPort({"bt", "", "(00:11:22:33:44:55)", ConnectionKind::Bluetooth}, probe)));
  EXPECT_TRUE(CMNC::PortUsable(CMNC::CheckPort({"h", "", "h:1:p", ConnectionKind::Tcpip}, probe)));
}

TEST(PortCheck, WhatIsNoSerialDeviceIsNeverOpenedAndAPortIsOpenedOnce) {
  FakeProbe usable;
  EXPECT_TRUE(CMNC::PortUsable(CMNC::CheckPort(kSerial, usable)));
  EXPECT_EQ(usable.opens, 1);

  FakeProbe devNull;  // a character device, but no terminal
  devNull.node = CMNC::TtyNode::NotTty;
  auto findings = CMNC::CheckPort(kSerial, devNull);
  EXPECT_EQ(findings.back().check, "serial-device");
  EXPECT_EQ(findings.back().remedy, "name a serial port such as /dev/ttyUSB0 (see \"vestrel --list-ports\")");
  EXPECT_EQ(devNull.opens, 0);

  FakeProbe console;  // a terminal with nothing behind it
  console.node = CMNC::TtyNode::WithoutDevice;
  EXPECT_EQ(last(CMNC::CheckPort(kSerial, console)).rfind("a terminal without a serial device behind it", 0), 0u);
  EXPECT_EQ(console.opens, 0);

  FakeProbe file;  // a regular file or a folder
  file.charDevice = false;
  EXPECT_FALSE(CMNC::PortUsable(CMNC::CheckPort(kSerial, file)));
  EXPECT_EQ(file.opens, 0);

  FakeProbe forbidden;  // what this user may not open is not tried
  forbidden.access = false;
  CMNC::CheckPort(kSerial, forbidden);
  EXPECT_EQ(forbidden.opens, 0);
}

TEST(PortCheck, ThisSystemTellsAPseudoTerminalFromAFile) {
  const auto probe = CMNC::MakeSystemProbe();
  int master = -1, slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  char name[64];
  ASSERT_EQ(::ttyname_r(slave, name, sizeof name), 0);
  ::close(slave);
  EXPECT_EQ(probe->ttyNode(name), CMNC::TtyNode::PseudoTerminal);
  EXPECT_EQ(probe->ttyNode("/dev/null"), CMNC::TtyNode::NotTty);
  auto findings = CMNC::CheckPort({"", "", name, ConnectionKind::Serial}, *probe);
  EXPECT_TRUE(CMNC::PortUsable(findings)) << last(findings);
  ::close(master);

  TempDir dir;
  const std::string file = dir.path() + "/not-a-port";
  std::ofstream(file) << "x";
  findings = CMNC::CheckPort({"", "", file, ConnectionKind::Serial}, *probe);
  EXPECT_FALSE(CMNC::PortUsable(findings));
  EXPECT_NE(last(findings).find("not a serial device"), std::string::npos);
  EXPECT_FALSE(CMNC::PortUsable(CMNC::CheckPort({"", "", dir.path() + "/gone", ConnectionKind::Serial}, *probe)));
}

// A USB-serial bridge's latency timer: 1 ms is fine; the common 16 ms is a warning with the remedy,
// never a reason not to use the port.
TEST(PortCheck, ABridgesLatencyTimerAbove1MsIsAWarningWithTheRemedy) {
  FakeProbe probe;
  probe.latencyTimer = 1;
  EXPECT_EQ(last(CMNC::CheckPort(kSerial, probe)), "USB-serial bridge with a latency timer of 1 ms");
  probe.latencyTimer = 16;
  const auto findings = CMNC::CheckPort(kSerial, probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  EXPECT_EQ(findings.back().verdict, Verdict::Warning);
  EXPECT_NE(last(findings).find("16 ms"), std::string::npos);
  EXPECT_NE(last(findings).find("/sys/bus/usb-serial/devices/ttyUSB0/latency_timer"), std::string::npos);
}
