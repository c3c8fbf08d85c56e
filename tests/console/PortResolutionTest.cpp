#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "PortResolution.h"
#include "TempDir.h"

namespace {

// Two stored hosts and a stored Bluetooth device, as the set-up dialogs keep them.
std::vector<PortEntry> stored(ConnectionKind kind) {
  if (kind == ConnectionKind::Tcpip)
    return {{"Base North", "Base North", "10.0.0.5:8002:northpw", kind},
            {"rover", "rover", "Rover.Example:4001:roverpw", kind}};
  if (kind == ConnectionKind::Bluetooth) return {{"Pole", "Pole", "(00:11:22:33:44:55)", kind}};
  return {};
}

struct Resolved {
  bool ok = false;
  LoadJob job;
  std::string error;
  std::vector<std::string> warnings;
};

Resolved resolve(const std::string& port, const PasswordSources& sources = {}) {
  Resolved r;
  r.job.port = port;
  r.ok = resolveJobPort(r.job, stored, sources, r.error, r.warnings);
  return r;
}

std::string privateFile(const TempDir& dir, const std::string& text, mode_t mode) {
  const std::string path = dir.path() + "/password";
  std::ofstream(path) << text << "\n# anything after the first line is not the password\n";
  ::chmod(path.c_str(), mode);
  return path;
}

}  // namespace

TEST(PortResolution, PrefixThenStoredDescriptionThenSerialDevice) {
  Resolved r = resolve("Base North");  // a stored host, with its stored settings
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.job.connection, ConnectionKind::Tcpip);
  EXPECT_EQ(r.job.port, "Base North");
  EXPECT_EQ(r.job.portEntry.address, "10.0.0.5:8002:northpw");
  EXPECT_EQ(resolve("Pole").job.connection, ConnectionKind::Bluetooth);

  r = resolve("base north");  // a description's case counts: this is a device name
  EXPECT_EQ(r.job.connection, ConnectionKind::Serial);
  EXPECT_EQ(r.job.portEntry.address, "base north");

  r = resolve("com3");
  EXPECT_EQ(r.job.port, "COM3");
  EXPECT_EQ(r.job.portEntry.description, "Specified in command line (COM3)");

  r = resolve("Usb:1-2.3");
  EXPECT_EQ(r.job.port, "usb:1-2.3");
  EXPECT_EQ(r.job.portEntry.address, "1-2.3");

  r = resolve("tcp:oops");
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("expected tcp:HOST:PORT"), std::string::npos);
}

TEST(PortResolution, APasswordComesFromTheFirstPlaceThatHasOne) {
  // In the text: taken, with a warning that others can read it; never in the job's port text.
  Resolved r = resolve("TCP:10.0.0.7:8000:fromtext");
  ASSERT_TRUE(r.ok);
  EXPECT_EQ(r.job.port, "tcp:10.0.0.7:8000");
  EXPECT_EQ(r.job.portEntry.address, "10.0.0.7:8000:fromtext");
  EXPECT_EQ(r.job.portEntry.description.find("fromtext"), std::string::npos);
  ASSERT_EQ(r.warnings.size(), 1u);
  EXPECT_EQ(r.warnings.front().find("fromtext"), std::string::npos);

  TempDir dir;
  PasswordSources sources;
  sources.file = privateFile(dir, "fromfile", 0600);
  sources.environment = "fromenv";
  r = resolve("tcp:10.0.0.5:8002", sources);
  EXPECT_EQ(r.job.portEntry.address, "10.0.0.5:8002:fromfile");
  EXPECT_TRUE(r.warnings.empty());

  sources.file.clear();
  EXPECT_EQ(resolve("tcp:10.0.0.5:8002", sources).job.portEntry.address, "10.0.0.5:8002:fromenv");

  sources.environment = nullptr;  // the stored host with that host (any case) and port
  EXPECT_EQ(resolve("tcp:10.0.0.5:8002", sources).job.portEntry.address, "10.0.0.5:8002:northpw");
  EXPECT_EQ(resolve("tcp:rover.example:4001", sources).job.portEntry.address, "rover.example:4001:roverpw");
  EXPECT_EQ(resolve("tcp:10.0.0.5:8003", sources).job.portEntry.address, "10.0.0.5:8003:");  // none: no prompt here
}

TEST(PortResolution, APasswordFileOthersCanReadIsRefused) {
  TempDir dir;
  PasswordSources sources;
  sources.file = privateFile(dir, "secret", 0640);
  Resolved r = resolve("tcp:10.0.0.7:8000", sources);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("chmod 600"), std::string::npos) << r.error;
  EXPECT_EQ(r.error.find("secret"), std::string::npos);
  sources.file = dir.path() + "/missing";
  EXPECT_FALSE(resolve("tcp:10.0.0.7:8000", sources).ok);
}
