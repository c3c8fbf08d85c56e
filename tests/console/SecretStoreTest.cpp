// The stored TCP/IP passwords: in the secret store when one runs (tests/e2e/secret_store.sh gives
// this test one of its own: a private session bus and an unlocked keyring), never in the settings
// file then; without one, in the owner-only settings file with a warning. A password an older
// version left in the file moves to the store, and a deleted host's password goes with it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "DeviceStore.h"
#include "SecretStore.h"
#include "SettingsFile.h"
#include "FileText.h"
#include "TempDir.h"

namespace {

class ConfigHome {
 public:
  explicit ConfigHome(const std::string& dir) {
    if (const char* old = std::getenv("XDG_CONFIG_HOME")) saved_ = old, had_ = true;
    ::setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  }
  ~ConfigHome() {
    if (had_) ::setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    else ::unsetenv("XDG_CONFIG_HOME");
  }

 private:
  std::string saved_;
  bool had_ = false;
};

}  // namespace

TEST(SecretStore, PasswordsLiveInTheSecretStoreNeverInTheFile) {
  TempDir dir;
  const ConfigHome home(dir.path());
  const bool service = std::getenv("VESTREL_TEST_SECRET_SERVICE") != nullptr;
  const std::string warning =
      devicestore::saveHosts({{"Base", "Base", "base.local:8002:s3cret:with:colons", ConnectionKind::Tcpip}});
  EXPECT_EQ(warning.empty(), service) << warning;
  EXPECT_EQ(fileText(devicestore::settingsPath()).find("s3cret") == std::string::npos, service);
  auto hosts = devicestore::loadHosts();
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(hosts[0].address, "base.local:8002:s3cret:with:colons");
  if (!service) {
    EXPECT_NE(warning.find("no secret service"), std::string::npos) << warning;
    return;
  }
  EXPECT_EQ(secretstore::get("Base (base.local:8002)"), std::optional<std::string>("s3cret:with:colons"));

  {  // an older version's file, the password in clear
    SettingsFile file(devicestore::settingsPath());
    file.load();
    file.replaceGroup("hosts", {{"count", "1"}, {"host0", "old.local:4001:plain"}, {"name0", "Old"}});
    std::string error;
    ASSERT_TRUE(file.save(error)) << error;
  }
  hosts = devicestore::loadHosts();
  ASSERT_EQ(hosts.size(), 1u);
  EXPECT_EQ(hosts[0].address, "old.local:4001:plain");
  EXPECT_EQ(fileText(devicestore::settingsPath()).find("plain"), std::string::npos) << "moved out of the file";
  EXPECT_EQ(devicestore::loadHosts()[0].address, "old.local:4001:plain");

  devicestore::saveHosts({});  // every host deleted: its password too
  EXPECT_EQ(secretstore::get("Old (old.local:4001)"), std::nullopt);
  secretstore::remove("Base (base.local:8002)");  // the file the test replaced no longer names it
}
