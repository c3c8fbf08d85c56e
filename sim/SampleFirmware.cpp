#include "SampleFirmware.h"

#include <minizip/zip.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <vector>

#include "Sha256.h"

namespace sample {
namespace {

void putBigEndian(std::vector<uint8_t>& b, std::size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) b[offset + static_cast<std::size_t>(i)] = static_cast<uint8_t>(value >> (24 - 8 * i));
}

// Deterministic bytes that do not compress away.
void fillBody(std::vector<uint8_t>& b, std::size_t from, uint32_t seed) {
  uint32_t x = seed * 2654435761u + 1;
  for (std::size_t i = from; i < b.size(); ++i) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    b[i] = static_cast<uint8_t>(x);
  }
}

}  // namespace

std::vector<uint8_t> loaderImage(const char kind[4], std::size_t size, uint32_t loaderVersion, uint32_t hardware,
                                 uint32_t seed) {
  std::vector<uint8_t> b(std::max<std::size_t>(size, 32), 0);
  fillBody(b, 20, seed);
  std::memcpy(b.data(), kind, 4);
  putBigEndian(b, 4, static_cast<uint32_t>(b.size()));
  putBigEndian(b, 8, loaderVersion);
  putBigEndian(b, 12, 0);
  putBigEndian(b, 16, hardware);
  return b;
}

std::vector<uint8_t> flashImage(std::size_t size, uint8_t hardware, uint32_t seed) {
  std::vector<uint8_t> b(std::max<std::size_t>(size, 32), 0);
  fillBody(b, 8, seed);
  std::memcpy(b.data(), "VRFW", 4);
  putBigEndian(b, 4, static_cast<uint32_t>(b.size()));
  b[19] = hardware;
  return b;
}

std::vector<Entry> namedSet(const Options& o) {
  const auto hw = static_cast<uint32_t>(o.hardwareVersion);
  return {
      {"ramimage.ldr", loaderImage("VRLD", 6 * 1024, o.loaderVersion, hw, 1)},
      {"boot.ldp", flashImage(16 * 1024, static_cast<uint8_t>(hw), 2)},
      {"rfbrd.ldr", loaderImage("VRBD", o.boardSize, 1, hw, 3)},
      {"powbrd.ldr", loaderImage("VRBD", o.boardSize, 1, hw, 4)},
      {"main.ldp", flashImage(o.mainSize, static_cast<uint8_t>(hw), 5)},
  };
}

std::vector<Entry> numberedSet(const Options& o) {
  const auto hw = static_cast<uint32_t>(o.hardwareVersion);
  const auto hw8 = static_cast<uint8_t>(hw);
  return {
      {"_10.ldr", loaderImage("VRLD", 4 * 1024, 2, hw, 11)},
      {"_21.ldr", loaderImage("VRLD", 5 * 1024, 3, hw, 12)},
      {"010.ldp", flashImage(o.mainSize / 2, hw8, 13)},
      {"011.ldp", flashImage(o.boardSize, hw8, 14)},
      {"020.ldp", flashImage(8 * 1024, hw8, 15)},
      {"030.ldp", flashImage(o.boardSize, hw8, 16)},
  };
}

std::vector<Entry> twoModels(const Options& options, int hardwareA, int hardwareB) {
  std::vector<Entry> entries;
  for (const auto& [folder, hardware] : {std::pair<const char*, int>{"modelA/", hardwareA}, {"modelB/", hardwareB}}) {
    Options model = options;
    model.hardwareVersion = hardware;
    for (Entry& e : namedSet(model)) entries.emplace_back(folder + e.first, std::move(e.second));
  }
  return entries;
}

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) error = "cannot write " + path;
  return static_cast<bool>(out);
}

bool writeZip(const std::string& path, const std::vector<Entry>& entries, std::string& error) {
  zipFile zf = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  if (!zf) {
    error = "cannot create " + path;
    return false;
  }
  bool ok = true;
  for (const Entry& e : entries) {
    zip_fileinfo info{};
    ok = zipOpenNewFileInZip64(zf, e.first.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                               Z_DEFAULT_COMPRESSION, e.second.size() >= 0xFFFFFFFFu) == ZIP_OK &&
         zipWriteInFileInZip(zf, e.second.data(), static_cast<unsigned>(e.second.size())) == ZIP_OK &&
         zipCloseFileInZip(zf) == ZIP_OK;
    if (!ok) break;
  }
  if (zipClose(zf, nullptr) != ZIP_OK) ok = false;
  if (!ok) error = "cannot write " + path;
  return ok;
}

bool writeDistribution(const std::string& dir, const Options& options, std::string& error) {
  namespace fs = std::filesystem;
  std::error_code ec;
  for (const char* sub : {"named", "numbered", "data"}) fs::create_directories(fs::path(dir) / sub, ec);
  if (ec) {
    error = "cannot create " + dir + ": " + ec.message();
    return false;
  }
  const std::vector<Entry> named = namedSet(options), numbered = numberedSet(options);
  for (const Entry& e : named)
    if (!writeFile(dir + "/named/" + e.first, e.second, error)) return false;
  for (const Entry& e : numbered)
    if (!writeFile(dir + "/numbered/" + e.first, e.second, error)) return false;
  std::vector<uint8_t> data(3000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>("base,settings;"[i % 14]);
  return writeFile(dir + "/data/settings.cfg", data, error) && writeZip(dir + "/named.zip", named, error) &&
         writeZip(dir + "/numbered.zip", numbered, error) &&
         writeZip(dir + "/two-models.zip", twoModels(options, 20, 22), error) &&
         writeZip(dir + "/two-models-alike.zip", twoModels(options, options.hardwareVersion, options.hardwareVersion), error);
}

bool writeDigestList(const std::string& folder, const std::string& list, std::string& error) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::ofstream out(list, std::ios::binary | std::ios::trunc);
  for (const std::string& name : names) {
    const std::string digest = Sha256::ofFile(folder + "/" + name, error);
    if (digest.empty()) return false;
    out << digest << "  " << name << "\n";
  }
  if (!out) error = "cannot write " + list;
  return static_cast<bool>(out);
}

}  // namespace sample
