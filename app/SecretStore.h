#pragma once
#include <optional>
#include <string>

// Where the stored TCP/IP hosts' passwords are kept: the system's secret store, never the settings
// file or the registry in clear. Linux: the Secret Service (libsecret: GNOME Keyring, KWallet and
// the like, on the user's session bus; SecretStoreLibsecret.cpp); Windows: DPAPI
// (CryptProtectData in the user's scope), the protected bytes in the user's registry
// (SecretStoreDpapi.cpp). Calls block on the store (the session bus, the registry).
namespace secretstore {

// Stores the secret under the key; false with the reason when no store takes it (no secret
// service runs).
bool put(const std::string& key, const std::string& secret, std::string& error);
// The secret stored under the key; nothing when there is none or no store answers.
std::optional<std::string> get(const std::string& key);
// Forgets the key's secret (nothing when there is none).
void remove(const std::string& key);

}  // namespace secretstore
