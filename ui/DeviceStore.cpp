#include "DeviceStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

#include "StoredDevice.h"

namespace devicestore {
namespace {

QSettings settings() { return QSettings(QStringLiteral("Telmora"), QStringLiteral("Vestrel")); }

std::string text(QSettings& s, const QString& key) { return s.value(key).toString().toStdString(); }

// The file holds passwords: it is private to its owner from its first byte. Qt writes a new file
// beside the old one and renames it over it, so while it writes the process's file-creation mask
// is owner-only, and a file that is not there yet is made empty and owner-only first.
class PrivateFiles {
 public:
  PrivateFiles() : saved_(::umask(S_IRWXG | S_IRWXO)) {}
  ~PrivateFiles() { ::umask(saved_); }
  PrivateFiles(const PrivateFiles&) = delete;
  PrivateFiles& operator=(const PrivateFiles&) = delete;

 private:
  mode_t saved_;
};

void createPrivately(const QString& fileName) {
  QDir().mkpath(QFileInfo(fileName).absolutePath());
  const int fd = ::open(QFile::encodeName(fileName).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (fd >= 0) ::close(fd);
}

void restrict(QSettings& s) {
  s.sync();
  ::chmod(QFile::encodeName(s.fileName()).constData(), S_IRUSR | S_IWUSR);
}

void save(const char* group, const char* addressKey, const std::vector<PortEntry>& entries) {
  QSettings s = settings();
  const PrivateFiles privately;
  createPrivately(s.fileName());
  s.remove(QString::fromLatin1(group));
  s.beginGroup(QString::fromLatin1(group));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const QString n = QString::number(i);
    s.setValue(QString::fromLatin1(addressKey) + n, QString::fromStdString(entries[i].address));
    s.setValue(QStringLiteral("name") + n, QString::fromStdString(entries[i].description));
  }
  s.setValue(QStringLiteral("count"), static_cast<int>(entries.size()));
  s.endGroup();
  restrict(s);
}

}  // namespace

std::string settingsPath() { return settings().fileName().toStdString(); }

std::vector<PortEntry> loadHosts() {
  QSettings s = settings();
  std::vector<PortEntry> hosts;
  const int count = std::clamp(s.value(QStringLiteral("hosts/count"), 0).toInt(), 0, 10000);
  for (int i = 0; i < count; ++i)
    if (auto entry = storeddevice::host(text(s, QStringLiteral("hosts/host%1").arg(i)), text(s, QStringLiteral("hosts/name%1").arg(i))))
      hosts.push_back(*entry);
  return hosts;
}

void saveHosts(const std::vector<PortEntry>& hosts) { save("hosts", "host", hosts); }

std::vector<PortEntry> loadBluetooth(bool bluetoothAvailable) {
  std::vector<PortEntry> devices;
  if (!bluetoothAvailable) return devices;
  QSettings s = settings();
  const int count = std::clamp(s.value(QStringLiteral("bluetooth/count"), 0).toInt(), 0, 10000);
  for (int i = 0; i < count; ++i)
    if (auto entry = storeddevice::bluetooth(text(s, QStringLiteral("bluetooth/btaddr%1").arg(i)),
                                             text(s, QStringLiteral("bluetooth/name%1").arg(i))))
      devices.push_back(*entry);
  return devices;
}

void saveBluetooth(const std::vector<PortEntry>& devices) { save("bluetooth", "btaddr", devices); }

}  // namespace devicestore
