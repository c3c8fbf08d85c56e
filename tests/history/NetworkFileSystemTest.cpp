// The statfs types of file systems that reach another computer, told from local ones (Linux).
#include <gtest/gtest.h>

#include "NetworkFileSystem.h"

TEST(NetworkFileSystem, NetworkTypesAreToldFromLocalOnes) {
  EXPECT_EQ(networkfs::nameOfType(0x6969, ""), "NFS");
  EXPECT_EQ(networkfs::nameOfType(0xFF534D42, ""), "CIFS");
  EXPECT_EQ(networkfs::nameOfType(0xFE534D42, ""), "SMB2");
  EXPECT_EQ(networkfs::nameOfType(0x65735546, "sshfs"), "FUSE (sshfs)");
  EXPECT_EQ(networkfs::nameOfType(0x65735546, "ntfs-3g"), "");  // FUSE on a local disk
  EXPECT_EQ(networkfs::nameOfType(0xEF53, ""), "");               // ext4
  EXPECT_EQ(networkfs::nameOfType(0x01021994, ""), "");           // tmpfs
  EXPECT_EQ(networkfs::kindOf("/proc/self"), "");
}
