#include <gtest/gtest.h>

#include <algorithm>

#include "PortListing.h"

namespace {

std::vector<PortEntry> fakeDirectory(ConnectionKind kind) {
  switch (kind) {
    case ConnectionKind::Serial:
      return {{"ttyUSB0", "FT232R USB UART, FTDI (ttyUSB0)", "/dev/ttyUSB0", kind}, {"ttyS0", "", "/dev/ttyS0", kind}};
    case ConnectionKind::Usb: return {{"USB", "1-2 (VR100-0001234)", "1-2", kind}};
    case ConnectionKind::Tcpip: return {{"base", "base \"north\"", "10.0.0.5:8002:secret", kind}};
    case ConnectionKind::Bluetooth: return {{"rover", "rover", "(00:11:22:33:44:55)", kind}};
    default: return {};
  }
}

}  // namespace

TEST(PortListing, ListsEveryKindTheWizardOffersWithItsPortArgument) {
  const auto ports = portlisting::listPorts(fakeDirectory, false);
  ASSERT_EQ(ports.size(), 4u);  // no Bluetooth without an adapter
  EXPECT_EQ(portlisting::asText(ports),
            "ttyUSB0\tFT232R USB UART, FTDI (ttyUSB0)\tserial\t/dev/ttyUSB0\n"
            "ttyS0\tttyS0\tserial\t/dev/ttyS0\n"
            "USB\t1-2 (VR100-0001234)\tusb\tusb:1-2\n"
            "base\tbase \"north\"\ttcpip\ttcp:10.0.0.5:8002\n");  // the password is left out
  const auto withBluetooth = portlisting::listPorts(fakeDirectory, true);
  ASSERT_EQ(withBluetooth.size(), 5u);
  const auto bt = std::find_if(withBluetooth.begin(), withBluetooth.end(),
                               [](const portlisting::ListedPort& p) { return p.kind == "bluetooth"; });
  ASSERT_NE(bt, withBluetooth.end());
  EXPECT_EQ(portlisting::asJson({*bt}),
            "[{\"name\":\"rover\",\"description\":\"rover\",\"kind\":\"bluetooth\",\"port\":\"bt:(00:11:22:33:44:55)\"}]\n");
}

TEST(PortListing, NoPortsIsAnEmptyList) {
  const auto none = portlisting::listPorts([](ConnectionKind) { return std::vector<PortEntry>{}; }, true);
  EXPECT_EQ(portlisting::asText(none), "");
  EXPECT_EQ(portlisting::asJson(none), "[]\n");
}
