#include "NetworkFileSystem.h"

#include <sys/statfs.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace networkfs {
namespace {

// statfs's f_type of the network file systems (linux/magic.h and the file systems' own sources).
struct Type {
  long magic;
  const char* name;
};
constexpr Type kNetworkTypes[] = {
    {0x6969, "NFS"},          {0xFF534D42, "CIFS"},   {0xFE534D42, "SMB2"}, {0x517B, "SMB"},
    {0x564C, "NCP"},          {0x5346414F, "AFS"},    {0x6B414653, "AFS"},  {0x73757245, "Coda"},
    {0x01021997, "9P"},       {0x00C36400, "Ceph"},   {0x47504653, "GPFS"}, {0x0BD00BD0, "Lustre"},
    {0x013111A8, "IBRIX"},    {0x19830326, "FhGFS"},
};
constexpr long kFuse = 0x65735546;
// FUSE file systems that reach another computer.
constexpr const char* kNetworkFuse[] = {"sshfs", "rclone", "s3fs", "gcsfuse", "smbnetfs", "curlftpfs",
                                         "glusterfs", "davfs", "cephfs", "juicefs", "goofys", "afpfs"};

std::filesystem::path existingFolder(const std::string& path) {
  std::error_code ec;
  std::filesystem::path p = std::filesystem::absolute(path, ec);
  while (!p.empty() && !std::filesystem::exists(p, ec) && p != p.parent_path()) p = p.parent_path();
  return p;
}

// The subtype of the FUSE mount that holds path: the longest mount point above it in the mount
// table, whose type reads "fuse.sshfs".
std::string fuseSubtypeOf(const std::filesystem::path& path) {
  std::ifstream mounts("/proc/self/mounts");
  std::string line, best, subtype;
  const std::string p = path.string();
  while (std::getline(mounts, line)) {
    std::istringstream fields(line);
    std::string device, point, type;
    fields >> device >> point >> type;
    const bool above = p == point || (p.rfind(point, 0) == 0 && (point == "/" || p[point.size()] == '/'));
    if (above && point.size() >= best.size()) {
      best = point;
      subtype = type.rfind("fuse.", 0) == 0 ? type.substr(5) : "";
    }
  }
  return subtype;
}

}  // namespace

std::string nameOfType(long type, const std::string& fuseSubtype) {
  for (const Type& t : kNetworkTypes)
    if (t.magic == type) return t.name;
  if (type == kFuse)
    for (const char* network : kNetworkFuse)
      if (fuseSubtype == network) return "FUSE (" + fuseSubtype + ")";
  return "";
}

std::string kindOf(const std::string& path) {
  const std::filesystem::path folder = existingFolder(path);
  struct statfs fs {};
  if (folder.empty() || ::statfs(folder.c_str(), &fs) != 0) return "";
  const long type = static_cast<long>(fs.f_type);
  return nameOfType(type, type == kFuse ? fuseSubtypeOf(folder) : "");
}

}  // namespace networkfs
