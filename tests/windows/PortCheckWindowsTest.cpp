// The pre-flight check on Windows against the virtual receiver's COM port: listed and opened, then
// held open by this test ("Access is denied" with the remedy), a port that is not there, and the
// Windows findings' texts from a probe whose answers the test sets.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "FakeProbe.h"
#include "PortCheck.h"
#include "SystemProbe.h"
#include "WindowsText.h"

namespace {

const CMNC::CheckFinding* finding(const std::vector<CMNC::CheckFinding>& findings, const std::string& check) {
  const auto found = std::find_if(findings.begin(), findings.end(), [&](const CMNC::CheckFinding& f) { return f.check == check; });
  return found == findings.end() ? nullptr : &*found;
}

PortEntry serialPort(const std::string& name) { return {name, "", "\\\\.\\" + name, ConnectionKind::Serial}; }

}  // namespace

TEST(PortCheckWindows, AComPortListedOpenedThenHeldByAnotherProgram) {
  const char* com = std::getenv("VESTREL_TEST_COM");
  if (!com) GTEST_SKIP() << "VESTREL_TEST_COM is not set";
  const auto probe = CMNC::MakeSystemProbe();
  std::vector<CMNC::CheckFinding> findings = CMNC::CheckPort(serialPort(com), *probe);
  EXPECT_TRUE(CMNC::PortUsable(findings)) << CMNC::CheckLine(com, findings.back());
  ASSERT_NE(finding(findings, "exists"), nullptr);
  ASSERT_NE(finding(findings, "open"), nullptr);
  EXPECT_EQ(finding(findings, "open")->verdict, CMNC::CheckFinding::Verdict::Ok);

  const std::wstring device = CMNC::windowstext::wide(std::string("\\\\.\\") + com);
  const HANDLE held = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  // Windows refuses a second open of a serial port; Wine opens its pseudo-terminal again.
  const HANDLE again = ::CreateFileW(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (again != INVALID_HANDLE_VALUE) {
    ::CloseHandle(again);
    ::CloseHandle(held);
    GTEST_SKIP() << "this system opens a serial port twice (Wine): the held port is checked with the set answers below";
  }
  findings = CMNC::CheckPort(serialPort(com), *probe);
  ::CloseHandle(held);
  EXPECT_FALSE(CMNC::PortUsable(findings));
  const CMNC::CheckFinding* exclusive = finding(findings, "exclusive");
  ASSERT_NE(exclusive, nullptr);
  EXPECT_NE(exclusive->text.find("Access is denied"), std::string::npos) << exclusive->text;
  EXPECT_NE(exclusive->remedy.find("close the program"), std::string::npos) << exclusive->remedy;

  EXPECT_TRUE(CMNC::PortUsable(CMNC::CheckPort(serialPort(com), *probe)));  // free again
}

TEST(PortCheckWindows, APortThatIsNotThereNamesWhereToLook) {
  const auto probe = CMNC::MakeSystemProbe();
  const std::vector<CMNC::CheckFinding> findings = CMNC::CheckPort(serialPort("COM42"), *probe);
  ASSERT_EQ(findings.size(), 1u);
  EXPECT_EQ(findings[0].check, "exists");
  EXPECT_EQ(findings[0].verdict, CMNC::CheckFinding::Verdict::Problem);
  EXPECT_NE(findings[0].remedy.find("Device Manager"), std::string::npos);
}

TEST(PortCheckWindows, HeldAndSlowBridgeFindingsCarryTheirRemedies) {
  FakeProbe probe;
  probe.real = "COM5";
  probe.opened = CMNC::OpenResult::HeldExclusively;
  std::vector<CMNC::CheckFinding> findings = CMNC::CheckPort(serialPort("COM5"), probe);
  ASSERT_EQ(findings.size(), 2u);
  EXPECT_EQ(CMNC::CheckLine("COM5", findings[1]),
            "PROBLEM COM5: Access is denied: another program has the port open: close the program that uses it (a "
            "terminal program, another receiver utility, another vestrel) and try again");
  probe.opened = CMNC::OpenResult::Terminal;
  probe.latencyTimer = 16;
  findings = CMNC::CheckPort(serialPort("COM5"), probe);
  EXPECT_TRUE(CMNC::PortUsable(findings));
  EXPECT_EQ(findings.back().verdict, CMNC::CheckFinding::Verdict::Warning);
  EXPECT_NE(findings.back().remedy.find("Latency Timer (msec) to 1"), std::string::npos);
}
