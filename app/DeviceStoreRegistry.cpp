#include "DeviceStore.h"

// The stored devices in the current user's registry: "Software\Telmora\Vestrel\hosts" and
// "...\bluetooth", values count (a number), host<i> or btaddr<i>, and name<i> (texts).
#include <windows.h>

#include <algorithm>
#include <memory>

#include "DeviceStoreBackend.h"
#include "WindowsText.h"

namespace devicestore {
namespace {

constexpr wchar_t kProgramKey[] = L"Software\\Telmora\\Vestrel";
constexpr DWORD kMaxEntries = backend::kMaxEntries;

struct KeyCloser {
  void operator()(HKEY key) const { ::RegCloseKey(key); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

std::wstring groupPath(const char* group) { return std::wstring(kProgramKey) + L"\\" + CMNC::windowstext::wide(group); }

Key openGroup(const char* group) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, groupPath(group).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return Key();
  return Key(key);
}

std::string text(HKEY key, const std::string& name) {
  const std::wstring valueName = CMNC::windowstext::wide(name);
  DWORD size = 0;
  DWORD type = 0;
  if (::RegQueryValueExW(key, valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return {};
  std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
  if (::RegQueryValueExW(key, valueName.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
    return {};
  value.resize(std::wcslen(value.c_str()));
  return CMNC::windowstext::utf8(value);
}

// The count as a number, or as a text (the way an edited or imported key may hold it).
DWORD count(HKEY key) {
  DWORD value = 0;
  DWORD size = sizeof value;
  DWORD type = 0;
  if (::RegQueryValueExW(key, L"count", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) == ERROR_SUCCESS &&
      type == REG_DWORD)
    return std::min(value, kMaxEntries);
  const std::string asText = text(key, "count");
  return std::min<DWORD>(static_cast<DWORD>(std::strtoul(asText.c_str(), nullptr, 10)), kMaxEntries);
}

std::vector<std::pair<std::string, std::string>> readGroup(const char* group, const char* addressKey) {
  std::vector<std::pair<std::string, std::string>> entries;
  const Key key = openGroup(group);
  if (!key) return entries;
  const DWORD n = count(key.get());
  for (DWORD i = 0; i < n; ++i) {
    const std::string index = std::to_string(i);
    entries.emplace_back(text(key.get(), addressKey + index), text(key.get(), "name" + index));
  }
  return entries;
}

void setText(HKEY key, const std::string& name, const std::string& value) {
  const std::wstring wideValue = CMNC::windowstext::wide(value);
  ::RegSetValueExW(key, CMNC::windowstext::wide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wideValue.c_str()),
                   static_cast<DWORD>((wideValue.size() + 1) * sizeof(wchar_t)));
}

void save(const char* group, const char* addressKey, const std::vector<PortEntry>& entries) {
  const std::wstring path = groupPath(group);
  ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());  // the old list goes whole
  HKEY raw = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
    return;
  const Key key(raw);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::string index = std::to_string(i);
    setText(key.get(), addressKey + index, entries[i].address);
    setText(key.get(), "name" + index, entries[i].description);
  }
  const DWORD n = static_cast<DWORD>(entries.size());
  ::RegSetValueExW(key.get(), L"count", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
}

}  // namespace

std::string settingsPath() { return "HKEY_CURRENT_USER\\Software\\Telmora\\Vestrel"; }

namespace backend {

std::vector<std::pair<std::string, std::string>> read(const char* group, const char* addressKey) {
  return readGroup(group, addressKey);
}

void write(const char* group, const char* addressKey, const std::vector<PortEntry>& entries) {
  save(group, addressKey, entries);
}

}  // namespace backend
}  // namespace devicestore
