#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A realistic firmware distribution for the demo, the tests and the benchmarks.
namespace sample {

struct Options {
  std::size_t mainSize = 192 * 1024;  // bytes of "main.ldp"
  std::size_t boardSize = 24 * 1024;  // bytes of the board images
  int hardwareVersion = 20;
  uint32_t loaderVersion = 3;         // of "ramimage.ldr"
};

using Entry = std::pair<std::string, std::vector<uint8_t>>;

// ".ldr" layout: kind at 0, length at 4, loader version at 8, hardware version at 16.
std::vector<uint8_t> loaderImage(const char kind[4], std::size_t size, uint32_t loaderVersion, uint32_t hardware,
                                 uint32_t seed);
// ".ldp" layout: "VRFW", length at 4, hardware version at 19.
std::vector<uint8_t> flashImage(std::size_t size, uint8_t hardware, uint32_t seed);

// "ramimage.ldr", "boot.ldp", "rfbrd.ldr", "powbrd.ldr", "main.ldp".
std::vector<Entry> namedSet(const Options& options);
// Utility loaders "_10.ldr" (version 2) and "_21.ldr" (version 3), flash images "010.ldp" and
// "011.ldp" (type 1, loaders 0 and 1), "020.ldp" (type 2, run from RAM), "030.ldp" (type 3 with
// loader 0).
std::vector<Entry> numberedSet(const Options& options);

// Two receiver models' named sets in one distribution: "modelA/..." built for hardwareA,
// "modelB/..." for hardwareB.
std::vector<Entry> twoModels(const Options& options, int hardwareA, int hardwareB);

bool writeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);
// Writes a ZIP archive of the entries, deflated, in the given order.
bool writeZip(const std::string& path, const std::vector<Entry>& entries, std::string& error);
// Writes dir/named/, dir/numbered/, dir/named.zip, dir/numbered.zip, dir/data/settings.cfg,
// dir/two-models.zip (models for hardware 20 and 22) and dir/two-models-alike.zip (both models
// built for the options' hardware version: their headers do not tell them apart).
bool writeDistribution(const std::string& dir, const Options& options, std::string& error);
// Writes the digest of every file in folder to list, in the form sha256sum writes ("HEX  name").
bool writeDigestList(const std::string& folder, const std::string& list, std::string& error);

}  // namespace sample
