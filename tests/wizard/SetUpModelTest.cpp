#include <gtest/gtest.h>

#include "BluetoothSetUp.h"
#include "TcpipSetUp.h"

namespace {

PortEntry host(const std::string& description, const std::string& address) {
  return {description, description, address, ConnectionKind::Tcpip};
}

std::vector<std::string> descriptions(const std::vector<PortEntry>& entries) {
  std::vector<std::string> out;
  for (const PortEntry& e : entries) out.push_back(e.description);
  return out;
}

}  // namespace

TEST(TcpipSetUpModel, OpensOnTheFirstShownHostAndSplitsItsAddress) {
  TcpipSetUp m({host("Zulu", "z.local:8002:pw:with:colons"), host("Alpha", "a.local:5017:")});
  EXPECT_EQ(m.list().rows(), (std::vector<std::string>{"Alpha", "Zulu"}));
  EXPECT_EQ(m.list().selectedRow(), 0);
  EXPECT_EQ(m.fields().host, "a.local");
  EXPECT_STREQ(m.addLabel(), "Update");
  EXPECT_TRUE(m.newEnabled());
  m.select(1);
  EXPECT_EQ(m.fields().port, "8002");
  EXPECT_EQ(m.fields().password, "pw:with:colons");

  TcpipSetUp empty({});
  EXPECT_STREQ(empty.addLabel(), "Add");
  EXPECT_FALSE(empty.newEnabled());
  EXPECT_FALSE(empty.deleteEnabled());
}

TEST(TcpipSetUpModel, AddRefusesWhatCannotBeStoredAndChangesNothing) {
  TcpipSetUp m({});
  EXPECT_EQ(m.addOrUpdate(), "Host name or IP address is required.");
  m.setFields({"rover", "", "", ""});
  EXPECT_EQ(m.addOrUpdate(), "Port number is required.");
  for (const std::string bad : {"0", "65536", "80x", "-1"}) {  // the field named, and what it takes
    m.setFields({"rover", bad, "", ""});
    EXPECT_EQ(m.addOrUpdate(), "The port \"" + bad + "\" is not a port number: give a number from 1 to 65535.") << bad;
  }
  for (const char* bad : {"a:b", "[a:b]", "host]"}) {  // a colon is an IPv6 address's, or splits the address elsewhere
    m.setFields({bad, "80", "", ""});
    EXPECT_EQ(m.addOrUpdate(), "Host name or IP address is required.") << bad;
  }
  EXPECT_TRUE(m.list().entries().empty());
  m.setFields({"[fe80::1]", "80", "pw", ""});
  EXPECT_EQ(m.addOrUpdate(), "");
  EXPECT_EQ(m.list().entries()[0].address, "[fe80::1]:80:pw");
  EXPECT_EQ(m.list().entries()[0].description, "[fe80::1]:80");
  m.deleteSelected();

  m.setFields({"  rover  ", " 8000 ", "", ""});
  EXPECT_EQ(m.addOrUpdate(), "");
  EXPECT_EQ(m.list().entries()[0].address, "rover:8000:");
  EXPECT_EQ(m.list().entries()[0].description, "rover:8000");  // no description: host and port
  EXPECT_STREQ(m.addLabel(), "Update");
}

TEST(TcpipSetUpModel, UpdateMovesTheHostToTheEndAndDeleteSelectsTheOneBefore) {
  TcpipSetUp m({host("B", "b:1:"), host("A", "a:1:"), host("C", "c:1:")});
  m.select(1);  // "B", the first entry
  HostFields f = m.fields();
  f.description = "B2";
  m.setFields(f);
  EXPECT_EQ(m.addOrUpdate(), "");
  EXPECT_EQ(descriptions(m.list().entries()), (std::vector<std::string>{"A", "C", "B2"}));
  EXPECT_EQ(m.list().selected()->description, "B2");

  m.select(2);  // "C"
  m.deleteSelected();
  EXPECT_EQ(m.list().selected()->description, "B2");
  m.select(0);
  m.deleteSelected();  // the first: the new first is selected
  EXPECT_EQ(m.list().selected()->description, "B2");
  m.deleteSelected();
  EXPECT_EQ(m.list().selectedRow(), -1);
  EXPECT_TRUE(m.hostsToStore().empty());
  EXPECT_FALSE(m.deleteEnabled());
}

TEST(TcpipSetUpModel, NewEmptiesTheFieldsAndFocusFillsTheDescription) {
  TcpipSetUp m({host("A", "a:1:pw")});
  m.newHost();
  EXPECT_EQ(m.fields().host, "");
  EXPECT_EQ(m.list().selectedRow(), -1);
  EXPECT_STREQ(m.addLabel(), "Add");
  EXPECT_FALSE(m.descriptionFocused());  // nothing to fill it from
  m.setFields({"base", "5017", "", ""});
  EXPECT_TRUE(m.descriptionFocused());
  EXPECT_EQ(m.fields().description, "base:5017");
  EXPECT_FALSE(m.descriptionFocused());  // a filled one is left alone
  // Typed after or before the filled-in text, the operator's own words replace it; once typed,
  // the description is the operator's, however edited.
  EXPECT_EQ(m.descriptionEdited("base:5017"), "base:5017");
  EXPECT_EQ(m.descriptionEdited("base:5017B"), "B");
  EXPECT_EQ(m.descriptionEdited("Bench 2"), "Bench 2");
  EXPECT_EQ(m.descriptionEdited("Bench 2 base:5017"), "Bench 2 base:5017");
  m.setFields({"base", "5017", "", ""});
  ASSERT_TRUE(m.descriptionFocused());
  EXPECT_EQ(m.descriptionEdited("Xbase:5017"), "X");
  m.setFields({"base", "5017", "", "base:5017"});  // kept as filled in
  EXPECT_EQ(m.addOrUpdate(), "");
  EXPECT_EQ(m.list().entries().size(), 2u);  // "Add" after "New" keeps the one selected before
  EXPECT_EQ(descriptions(m.hostsToStore()), (std::vector<std::string>{"A", "base:5017"}));
}

TEST(BluetoothSetUpModel, SearchAddAndTheTwoListsSelections) {
  BluetoothSetUp m({{"Rover", "Rover", "(00:11:22:33:44:01)", ConnectionKind::Bluetooth}});
  EXPECT_EQ(m.description(), "Rover");
  EXPECT_STREQ(m.addLabel(), "Update");
  m.searched({CMNC::CBTRemoteDevice("Base", 0x0011223344AAull, 0x1F00),
              CMNC::CBTRemoteDevice("", 0x001122334401ull, 0)});
  EXPECT_EQ(m.selectedFound(), 0);
  EXPECT_EQ(m.list().selectedRow(), -1);  // one selection at a time
  EXPECT_EQ(m.description(), "Base");
  EXPECT_STREQ(m.addLabel(), "Add");
  m.setDescription("");
  m.addOrUpdate();  // an empty description takes the device's name
  ASSERT_EQ(m.list().entries().size(), 2u);
  EXPECT_EQ(m.list().selected()->description, "Base");
  EXPECT_EQ(m.list().selected()->address, "(00:11:22:33:44:AA)");
  EXPECT_EQ(m.selectedFound(), -1);

  m.selectFound(1);  // already stored as "Rover": selected, not added
  m.addOrUpdate();
  EXPECT_EQ(m.list().entries().size(), 2u);
  EXPECT_EQ(m.list().selected()->description, "Rover");
  EXPECT_STREQ(m.addLabel(), "Update");
}

TEST(BluetoothSetUpModel, UpdateNeedsADescriptionAndAddNeedsAFoundDevice) {
  BluetoothSetUp m({{"Rover", "Rover", "(00:11:22:33:44:01)", ConnectionKind::Bluetooth}});
  m.setDescription("");
  m.addOrUpdate();
  EXPECT_EQ(m.list().entries()[0].description, "Rover");
  m.setDescription("Rover 2");
  m.addOrUpdate();
  EXPECT_EQ(m.list().entries()[0].name, "Rover 2");
  m.deleteSelected();
  EXPECT_FALSE(m.addEnabled());
  m.addOrUpdate();
  EXPECT_TRUE(m.devicesToStore().empty());
  m.searched({});
  EXPECT_EQ(m.selectedFound(), -1);
  EXPECT_FALSE(m.addEnabled());
}
