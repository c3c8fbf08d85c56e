#include "NetworkFileSystem.h"

#include <windows.h>

#include <filesystem>

#include "PathText.h"

namespace networkfs {

std::string nameOfType(long, const std::string&) { return ""; }

// A UNC path (\\server\share\...) or a drive letter mapped to a share.
std::string kindOf(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(pathtext::fromUtf8(path), ec);
  const std::wstring text = p.wstring();
  if (text.rfind(L"\\\\", 0) == 0 && text.rfind(L"\\\\?\\", 0) != 0 && text.rfind(L"\\\\.\\", 0) != 0)
    return "a network share";
  if (text.rfind(L"\\\\?\\UNC\\", 0) == 0) return "a network share";
  const std::wstring root = p.root_path().wstring();
  if (!root.empty() && ::GetDriveTypeW(root.c_str()) == DRIVE_REMOTE) return "a network drive";
  return "";
}

}  // namespace networkfs
