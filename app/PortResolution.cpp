#include "PortResolution.h"

#include <algorithm>
#include <cctype>
#include <optional>

#include "TcpipAddress.h"
#include "LinkKinds.h"
#include "PasswordInput.h"

namespace {

std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// A stored host or device described exactly so.
std::optional<PortEntry> findStored(const std::string& description, const StoredPorts& stored) {
  for (const CMNC::LinkKind& k : CMNC::LinkKinds()) {
    if (!k.stored || !stored) continue;
    for (const PortEntry& e : stored(k.kind))
      if (e.description == description) return e;
  }
  return std::nullopt;
}

// The password of the stored port of this kind with the same host (any case) and port.
bool storedPassword(ConnectionKind kind, const std::string& address, const StoredPorts& stored, std::string& password) {
  if (!stored) return false;
  const CMNC::TcpipHost wanted = CMNC::ParseTcpipAddress(address);
  for (const PortEntry& e : stored(kind)) {
    const CMNC::TcpipHost h = CMNC::ParseTcpipAddress(e.address);
    if (lower(h.host) == lower(wanted.host) && h.port == wanted.port) {
      password = h.password;
      return true;
    }
  }
  return false;
}

bool findPassword(CMNC::PortText& port, const StoredPorts& stored, const PasswordSources& sources, std::string& error,
                  std::vector<std::string>& warnings) {
  if (!port.password.empty()) {
    warnings.push_back("the password in " + port.text +
                       ":... can be read by every user of this computer while vestrel runs (ps, /proc): give it with "
                       "--password-file FILE, VESTREL_TCP_PASSWORD or a stored host instead.");
    return true;
  }
  std::string password;
  if (!sources.file.empty()) {
    if (!passwordinput::readPasswordFile(sources.file, password, error)) return false;
  } else if (sources.environment) {
    password = sources.environment;
  } else if (!storedPassword(port.kind, port.address, stored, password) && sources.mayPrompt) {
    passwordinput::promptPassword("Password for " + port.text + ": ", password);
  }
  CMNC::SetPassword(port, password);
  return true;
}

}  // namespace

bool resolveJobPort(LoadJob& job, const StoredPorts& stored, const PasswordSources& sources, std::string& error,
                    std::vector<std::string>& warnings) {
  if (job.port.empty()) return true;
  if (!CMNC::HasLinkPrefix(job.port)) {
    if (const auto e = findStored(job.port, stored)) {
      job.portEntry = *e;
      job.connection = e->kind;
      return true;
    }
  }
  CMNC::PortText port;
  if (!CMNC::ParsePortText(job.port, port, error)) return false;
  if (CMNC::LinkKindOf(port.kind).secretInAddress && !findPassword(port, stored, sources, error, warnings)) return false;
  job.port = port.text;
  job.connection = port.kind;
  job.portEntry = CMNC::EntryOf(port, "Specified in command line (" + port.text + ")");
  return true;
}

bool entryOfJob(const LoadJob& job, PortEntry& entry, std::string& error) {
  if (job.portEntry.kind != ConnectionKind::None) {
    entry = job.portEntry;
    return true;
  }
  CMNC::PortText port;
  if (!CMNC::ParsePortText(job.port, port, error)) return false;
  entry = CMNC::EntryOf(port, "Specified in command line (" + port.text + ")");
  return true;
}
