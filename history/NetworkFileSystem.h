#pragma once
#include <string>

// Whether a file lies on a network file system, where SQLite's write-ahead log does not work (its
// shared memory is not shared between computers) and locks may not hold. Platform parts:
// NetworkFileSystemLinux.cpp (statfs, and the mount table for FUSE), NetworkFileSystemWindows.cpp
// (a UNC path, a remote drive).
namespace networkfs {

// The network file system's name ("NFS", "CIFS", "FUSE (sshfs)"), or "" for a local one or when it
// cannot be told. path need not exist yet: its nearest existing folder is asked.
std::string kindOf(const std::string& path);

// Linux: the name of a statfs file-system type that is a network one, else "" (FUSE is told
// apart by its mount's subtype, fuseSubtype: "sshfs" is, "ntfs-3g" is not).
std::string nameOfType(long type, const std::string& fuseSubtype);

}  // namespace networkfs
