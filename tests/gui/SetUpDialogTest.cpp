#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QComboBox>
#include <QLineEdit>
#include <QSettings>

#include "CTcpipDialog.h"
#include "DeviceStore.h"

namespace {
template <typename Dialog>
void type(Dialog& d, int id, const char* text) {
  qobject_cast<QLineEdit*>(d.control(id))->setText(text);
}
}  // namespace

TEST(TcpipSetUp, AddUpdateDeleteAndSaveInDisplayOrder) {
  QSettings(QStringLiteral("Telmora"), QStringLiteral("Vestrel")).remove(QStringLiteral("hosts"));
  CTcpipDialog d;
  QString shown;
  d.message = [&shown](const QString& text) { shown = text; };
  QString warned;  // without a secret service here, the passwords stay in the owner-only file
  d.warning = [&warned](const QString& text) { warned = text; };
  d.addOrUpdate();
  EXPECT_EQ(shown, "Host name or IP address is required.");
  type(d, 1035, "rover.local");
  d.addOrUpdate();
  EXPECT_EQ(shown, "Port number is required.");
  type(d, 1032, "notaport");
  d.addOrUpdate();
  EXPECT_EQ(shown, "The port \"notaport\" is not a port number: give a number from 1 to 65535.");
  type(d, 1032, "8002");
  type(d, 1033, "pw:with:colons");
  type(d, 1036, "Zulu base");
  d.addOrUpdate();
  d.newHost();
  type(d, 1035, "10.0.0.7");
  type(d, 1032, "8000");
  d.addOrUpdate();  // no description: host and port stand in
  ASSERT_EQ(d.hosts().size(), 2u);
  EXPECT_EQ(d.hosts()[1].description, "10.0.0.7:8000");
  d.accept();
  EXPECT_TRUE(warned.isEmpty() || warned.contains(QStringLiteral("which only you may read"))) << warned.toStdString();

  const std::vector<PortEntry> stored = devicestore::loadHosts();
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].name, "10.0.0.7:8000");  // sorted display order
  EXPECT_EQ(stored[1].address, "rover.local:8002:pw:with:colons");
  struct stat st {};
  ASSERT_EQ(::stat(devicestore::settingsPath().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  {  // also when this process would make every file readable by all
    ASSERT_EQ(::unlink(devicestore::settingsPath().c_str()), 0);
    const mode_t saved = ::umask(0);
    devicestore::saveHosts(stored);
    const mode_t during = ::umask(saved);
    EXPECT_EQ(during, 0u) << "the file-creation mask is restored";
    ASSERT_EQ(::stat(devicestore::settingsPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
  }

  CTcpipDialog again;
  again.warning = [&warned](const QString& text) { warned = text; };
  auto* list = qobject_cast<QComboBox*>(again.control(1030));
  EXPECT_EQ(list->count(), 2);
  list->setCurrentIndex(1);
  EXPECT_EQ(qobject_cast<QLineEdit*>(again.control(1033))->text(), "pw:with:colons");
  again.deleteHost();
  again.deleteHost();
  again.accept();
  EXPECT_TRUE(devicestore::loadHosts().empty());
  EXPECT_EQ(QSettings(QStringLiteral("Telmora"), QStringLiteral("Vestrel")).value(QStringLiteral("hosts/count")).toInt(), 0);
}

TEST(TcpipSetUp, MalformedStoredEntriesAreSkipped) {
  {
    QSettings s(QStringLiteral("Telmora"), QStringLiteral("Vestrel"));
    s.remove(QStringLiteral("hosts"));
    s.setValue(QStringLiteral("hosts/count"), 3);
    s.setValue(QStringLiteral("hosts/host0"), QString());
    s.setValue(QStringLiteral("hosts/host1"), QStringLiteral("base:xx:pw"));
    s.setValue(QStringLiteral("hosts/host2"), QStringLiteral("base:5017"));
  }
  const std::vector<PortEntry> hosts = devicestore::loadHosts();
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_EQ(hosts[0].name, "base:0");  // a port that is not a number reads as 0
  EXPECT_EQ(hosts[1].name, "base:5017");
}

#include <QListWidget>

#include "CBluetoothDialog.h"

TEST(BluetoothSetUp, SearchAddUpdateAndSave) {
  QSettings(QStringLiteral("Telmora"), QStringLiteral("Vestrel")).remove(QStringLiteral("bluetooth"));
  CBluetoothDialog d(true);
  d.search = [] {
    return std::vector<CMNC::CBTRemoteDevice>{CMNC::CBTRemoteDevice("Base", 0x0011223344AAull, 0x1F00),
                                              CMNC::CBTRemoteDevice("", 0x0011223344BBull, 0)};
  };
  d.runSearch();
  auto* found = qobject_cast<QListWidget*>(d.control(1043));
  ASSERT_EQ(found->count(), 2);
  d.addOrUpdate();  // the first found device is selected after a search
  ASSERT_EQ(d.devices().size(), 1u);
  EXPECT_EQ(d.devices()[0].address, "(00:11:22:33:44:AA)");
  d.runSearch();
  found->setCurrentRow(0);
  d.addOrUpdate();  // already stored: selected, not added again
  EXPECT_EQ(d.devices().size(), 1u);
  type(d, 1036, "Base station");  // now editing the stored one
  d.addOrUpdate();
  EXPECT_EQ(d.devices()[0].description, "Base station");
  d.accept();

  {
    QSettings s(QStringLiteral("Telmora"), QStringLiteral("Vestrel"));
    s.setValue(QStringLiteral("bluetooth/count"), 3);
    s.setValue(QStringLiteral("bluetooth/btaddr1"), QStringLiteral("(broken)"));
    s.setValue(QStringLiteral("bluetooth/btaddr2"), QStringLiteral("(00:11:22:33:44:CC)"));
  }
  const std::vector<PortEntry> stored = devicestore::loadBluetooth(true);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].name, "Base station");
  EXPECT_EQ(stored[1].name, "(00:11:22:33:44:CC)");
  EXPECT_TRUE(devicestore::loadBluetooth(false).empty());
}

// Hosts stored by earlier versions through Qt's settings are read, and what is stored now Qt reads.
TEST(DeviceStoreFile, ReadsAndWritesWhatQtSettingsWrite) {
  const std::string tricky = "pw;with,=\"quotes\" \\ and caf\xc3\xa9 ";
  {
    QSettings qt(QStringLiteral("Telmora"), QStringLiteral("Vestrel"));
    qt.clear();
    qt.setValue(QStringLiteral("hosts/count"), 2);
    qt.setValue(QStringLiteral("hosts/host0"), QString::fromStdString("10.0.0.5:8002:" + tricky));
    qt.setValue(QStringLiteral("hosts/name0"), QStringLiteral("Base, north"));
    qt.setValue(QStringLiteral("hosts/host1"), QStringLiteral("[fe80::1]:4001:"));
    qt.setValue(QStringLiteral("hosts/name1"), QStringLiteral("@rover"));
    qt.setValue(QStringLiteral("window/geometry"), QStringLiteral("kept"));
    qt.sync();
  }
  std::vector<PortEntry> hosts = devicestore::loadHosts();
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_EQ(hosts[0].address, "10.0.0.5:8002:" + tricky);
  EXPECT_EQ(hosts[0].description, "Base, north");
  EXPECT_EQ(hosts[1].description, "@rover");

  hosts.push_back({"Tab\tbase", "Tab\tbase", "rover.local:8002:p=w", ConnectionKind::Tcpip});
  devicestore::saveHosts(hosts);
  QSettings qt(QStringLiteral("Telmora"), QStringLiteral("Vestrel"));
  EXPECT_EQ(qt.value(QStringLiteral("hosts/count")).toInt(), 3);
  EXPECT_EQ(qt.value(QStringLiteral("hosts/host0")).toString().toStdString(), "10.0.0.5:8002:" + tricky);
  EXPECT_EQ(qt.value(QStringLiteral("hosts/name1")).toString(), QStringLiteral("@rover"));
  EXPECT_EQ(qt.value(QStringLiteral("hosts/name2")).toString(), QStringLiteral("Tab\tbase"));
  EXPECT_EQ(qt.value(QStringLiteral("hosts/host2")).toString(), QStringLiteral("rover.local:8002:p=w"));
  EXPECT_EQ(qt.value(QStringLiteral("window/geometry")).toString(), QStringLiteral("kept"));  // not ours: left alone
  devicestore::saveHosts({});
}
