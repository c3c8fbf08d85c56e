#include "SecretStore.h"

#include <windows.h>
#include <dpapi.h>

#include <memory>
#include <vector>

#include "WindowsText.h"

// DPAPI: the secret protected for the current user (CryptProtectData, the key as extra entropy),
// its bytes a binary value named by the key under "Software\Telmora\Vestrel\secrets".
namespace secretstore {
namespace {

constexpr wchar_t kSecretsKey[] = L"Software\\Telmora\\Vestrel\\secrets";

struct KeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

DATA_BLOB blobOf(const std::string& bytes) {
  return DATA_BLOB{static_cast<DWORD>(bytes.size()), reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

}  // namespace

bool put(const std::string& key, const std::string& secret, std::string& error) {
  DATA_BLOB in = blobOf(secret), entropy = blobOf(key), out{};
  if (!::CryptProtectData(&in, L"Vestrel TCP/IP password", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) {
    error = "the system did not protect it (" + CMNC::windowstext::systemMessageLine(::GetLastError()) + ")";
    return false;
  }
  HKEY raw = nullptr;
  LSTATUS status = ::RegCreateKeyExW(HKEY_CURRENT_USER, kSecretsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr);
  const Key secrets(raw);
  if (status == ERROR_SUCCESS)
    status = ::RegSetValueExW(raw, CMNC::windowstext::wide(key).c_str(), 0, REG_BINARY, out.pbData, out.cbData);
  ::LocalFree(out.pbData);
  if (status != ERROR_SUCCESS) {
    error = "the registry did not take it (" + CMNC::windowstext::systemMessageLine(static_cast<DWORD>(status)) + ")";
    return false;
  }
  return true;
}

std::optional<std::string> get(const std::string& key) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSecretsKey, 0, KEY_READ, &raw) != ERROR_SUCCESS) return std::nullopt;
  const Key secrets(raw);
  const std::wstring name = CMNC::windowstext::wide(key);
  DWORD size = 0, type = 0;
  if (::RegQueryValueExW(raw, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_BINARY)
    return std::nullopt;
  std::vector<BYTE> bytes(size);
  if (::RegQueryValueExW(raw, name.c_str(), nullptr, nullptr, bytes.data(), &size) != ERROR_SUCCESS) return std::nullopt;
  DATA_BLOB in{size, bytes.data()}, entropy = blobOf(key), out{};
  if (!::CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &out)) return std::nullopt;
  std::string secret(reinterpret_cast<const char*>(out.pbData), out.cbData);
  ::SecureZeroMemory(out.pbData, out.cbData);
  ::LocalFree(out.pbData);
  return secret;
}

void remove(const std::string& key) {
  HKEY raw = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kSecretsKey, 0, KEY_SET_VALUE, &raw) != ERROR_SUCCESS) return;
  const Key secrets(raw);
  ::RegDeleteValueW(raw, CMNC::windowstext::wide(key).c_str());
}

}  // namespace secretstore
