#include "SecretStore.h"

#include <libsecret/secret.h>

#include <cstdlib>
#include <filesystem>

// The Secret Service through libsecret: one item a key, found by its "host" attribute under the
// program's own schema, in the default collection (the login keyring).
namespace secretstore {
namespace {

const SecretSchema kSchema = {"org.telmora.Vestrel.TcpipHost",
                              SECRET_SCHEMA_NONE,
                              {{"host", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
                              0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};

// A session bus to ask: without one, libsecret would try to start one, which on a machine without
// a desktop may wait; the store is then not there.
bool sessionBus() {
  if (const char* address = std::getenv("DBUS_SESSION_BUS_ADDRESS"); address && *address) return true;
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::error_code ec;
  return runtime && *runtime && std::filesystem::exists(std::string(runtime) + "/bus", ec);
}

std::string messageOf(GError* error) {
  std::string text = error && error->message ? error->message : "the secret service did not answer";
  if (error) g_error_free(error);
  return text;
}

}  // namespace

bool put(const std::string& key, const std::string& secret, std::string& error) {
  if (!sessionBus()) {
    error = "no secret service: there is no session bus";
    return false;
  }
  GError* failure = nullptr;
  const std::string label = "Vestrel TCP/IP password: " + key;
  const gboolean ok = secret_password_store_sync(&kSchema, SECRET_COLLECTION_DEFAULT, label.c_str(), secret.c_str(),
                                                 nullptr, &failure, "host", key.c_str(), nullptr);
  if (ok) return true;
  error = "the secret service did not store it (" + messageOf(failure) + ")";
  return false;
}

std::optional<std::string> get(const std::string& key) {
  if (!sessionBus()) return std::nullopt;
  GError* failure = nullptr;
  gchar* found = secret_password_lookup_sync(&kSchema, nullptr, &failure, "host", key.c_str(), nullptr);
  if (failure) g_error_free(failure);
  if (!found) return std::nullopt;
  std::string secret(found);
  secret_password_free(found);
  return secret;
}

void remove(const std::string& key) {
  if (!sessionBus()) return;
  GError* failure = nullptr;
  secret_password_clear_sync(&kSchema, nullptr, &failure, "host", key.c_str(), nullptr);
  if (failure) g_error_free(failure);
}

}  // namespace secretstore
