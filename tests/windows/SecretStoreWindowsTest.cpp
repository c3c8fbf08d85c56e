// The stored TCP/IP passwords on Windows: protected by DPAPI for the user, never in the registry's
// host entries; a password an older version left there in clear moves to the protected store.
#include <gtest/gtest.h>
#include <windows.h>

#include "DeviceStore.h"
#include "SecretStore.h"
#include "WindowsText.h"

namespace {
std::string registryText(const wchar_t* key, const wchar_t* value) {
  wchar_t buffer[512] = {};
  DWORD size = sizeof buffer;
  if (::RegGetValueW(HKEY_CURRENT_USER, key, value, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS) return {};
  return CMNC::windowstext::utf8(buffer);
}
constexpr const wchar_t* kHosts = L"Software\\Telmora\\Vestrel\\hosts";
}  // namespace

TEST(SecretStoreWindows, PasswordsAreProtectedNeverInTheRegistrysHosts) {
  EXPECT_EQ(devicestore::saveHosts({{"Base", "Base", "base.local:8002:s3cret:with:colons", ConnectionKind::Tcpip}}), "");
  EXPECT_EQ(registryText(kHosts, L"host0"), "base.local:8002:");
  ASSERT_EQ(devicestore::loadHosts().size(), 1u);
  EXPECT_EQ(devicestore::loadHosts()[0].address, "base.local:8002:s3cret:with:colons");

  // An older version's entry, the password in clear.
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kHosts, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  const std::wstring old = L"old.local:4001:plain";
  ::RegSetValueExW(key, L"host0", 0, REG_SZ, reinterpret_cast<const BYTE*>(old.c_str()),
                   static_cast<DWORD>((old.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
  EXPECT_EQ(devicestore::loadHosts()[0].address, "old.local:4001:plain");
  EXPECT_EQ(registryText(kHosts, L"host0"), "old.local:4001:");
  EXPECT_EQ(devicestore::loadHosts()[0].address, "old.local:4001:plain");

  devicestore::saveHosts({});
  EXPECT_EQ(secretstore::get("Base (old.local:4001)"), std::nullopt);
  secretstore::remove("Base (base.local:8002)");
}
