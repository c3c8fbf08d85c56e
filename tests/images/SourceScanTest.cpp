#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "FirmwareImage.h"
#include "FirmwareImageSet.h"
#include "PathText.h"
#include "SampleFirmware.h"
#include "TempDir.h"

namespace {

std::vector<uint8_t> readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void writeAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

void put32(std::vector<uint8_t>& b, std::size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + static_cast<std::size_t>(i)] = static_cast<uint8_t>(v >> (8 * i));
}

// Rewrites a field of every local (offset in local header) and central (offset in central header)
// record of an archive.
void patchArchive(const std::string& path, std::size_t localOffset, std::size_t centralOffset, uint32_t value) {
  std::vector<uint8_t> b = readAll(path);
  for (std::size_t i = 0; i + 46 < b.size(); ++i) {
    if (b[i] == 'P' && b[i + 1] == 'K' && b[i + 2] == 3 && b[i + 3] == 4 && localOffset) put32(b, i + localOffset, value);
    if (b[i] == 'P' && b[i + 1] == 'K' && b[i + 2] == 1 && b[i + 3] == 2) put32(b, i + centralOffset, value);
  }
  writeAll(path, b);
}

sample::Entry entry(const std::string& name, std::size_t size) { return {name, std::vector<uint8_t>(size, 0x5A)}; }

}  // namespace

TEST(SourceScan, Folder) {
  TempDir dir;
  for (const char* n : {"main.ldp", "rfbrd.ldr", "ramimage.ldr", "notes.txt"}) writeAll(dir.file(n), {1, 2, 3});
  std::filesystem::create_directory(dir.file("sub.ldp"));
  FirmwareImageSet set;
  EXPECT_EQ(set.scanSource(dir.file("main.ldp"), SourceKind::Folder, true), "");
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp", "ramimage.ldr", "rfbrd.ldr"}));
  EXPECT_EQ(set.source, dir.path() + "/");
  EXPECT_EQ(set.content, SetContent::Firmware);
  EXPECT_EQ(set.scanSource(dir.file("main.ldp"), SourceKind::Folder, false), "");
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp"}));

  TempDir upper;
  writeAll(upper.file("MAIN.LDP"), {1});
  EXPECT_EQ(set.scanSource(upper.file("MAIN.LDP"), SourceKind::Folder, true),
            "No firmware images found in " + upper.file("MAIN.LDP"));
  EXPECT_EQ(set.scanSource("/no/such/folder/x.ldp", SourceKind::Folder, true),
            "No firmware images found in /no/such/folder/x.ldp");
}

TEST(SourceScan, SingleFiles) {
  TempDir dir;
  writeAll(dir.file("main.ldp"), {1});
  FirmwareImageSet set;
  set.scanSource(dir.file("main.ldp"), SourceKind::ImageFile, true);
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp"}));
  writeAll(dir.file("ramimage.ldr"), {1});
  set.scanSource(dir.file("main.ldp"), SourceKind::ImageFile, true);
  EXPECT_EQ(set.names, (std::vector<std::string>{"ramimage.ldr", "main.ldp"}));
  set.scanSource(dir.file("main.ldp"), SourceKind::ImageFile, false);
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp"}));
  set.scanSource(dir.file("012main.ldp"), SourceKind::ImageFile, true);
  EXPECT_EQ(set.names, (std::vector<std::string>{"012main.ldp"}));
  set.scanSource(dir.file("rfbrd.ldr"), SourceKind::ImageFile, true);
  EXPECT_EQ(set.names, (std::vector<std::string>{"rfbrd.ldr"}));
  set.scanSource(dir.file("cfg.bin"), SourceKind::DataFile, false);
  EXPECT_EQ(set.names, (std::vector<std::string>{"ramimage.ldr", "cfg.bin"}));
  EXPECT_EQ(set.content, SetContent::DataFile);
  set.scanSource("main.ldp", SourceKind::ImageFile, true);
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp"}));
}

TEST(SourceScan, ArchiveEntriesInDirectoryOrder) {
  TempDir dir;
  const std::string zip = dir.file("fw.zip");
  std::string error;
  ASSERT_TRUE(sample::writeZip(zip, {entry("fw/main.ldp", 900000), entry("fw/ramimage.ldr", 64), entry("readme.txt", 10),
                                     entry("fw/x.ldp", 0)},
                               error));
  FirmwareImageSet set;
  EXPECT_EQ(set.scanSource(zip, SourceKind::ZipArchive, true), "");
  EXPECT_EQ(set.names, (std::vector<std::string>{"fw/main.ldp", "fw/ramimage.ldr"}));
  EXPECT_EQ(set.source, zip);
  FirmwareImage main(set.source, "FW/MAIN.LDP", SourceKind::ZipArchive);  // entry look-up ignores case
  EXPECT_TRUE(main.isLoaded());
  EXPECT_EQ(main.size(), 900000u);

  ASSERT_TRUE(sample::writeZip(dir.file("empty.zip"), {entry("readme.txt", 5)}, error));
  EXPECT_EQ(set.scanSource(dir.file("empty.zip"), SourceKind::ZipArchive, true),
            "No firmware images found in " + dir.file("empty.zip"));
  EXPECT_EQ(set.scanSource(dir.file("none.zip"), SourceKind::ZipArchive, true), "Unable to open " + dir.file("none.zip"));
  EXPECT_TRUE(set.names.empty());
}

TEST(SourceScan, DamagedArchivesLoadNothing) {
  TempDir dir;
  std::string error;
  const std::string zip = dir.file("fw.zip");
  ASSERT_TRUE(sample::writeZip(zip, {entry("main.ldp", 5000)}, error));

  const std::string badCrc = dir.file("crc.zip");
  std::filesystem::copy_file(zip, badCrc);
  patchArchive(badCrc, 14, 16, 0x12345678);
  FirmwareImage crc(badCrc, "main.ldp", SourceKind::ZipArchive);
  EXPECT_FALSE(crc.isLoaded());
  EXPECT_NE(crc.loadError().find("CRC-32"), std::string::npos);

  const std::string huge = dir.file("huge.zip");
  std::filesystem::copy_file(zip, huge);
  patchArchive(huge, 22, 24, 0xFFFFFFF0u);  // declares 4 GiB
  FirmwareImage big(huge, "main.ldp", SourceKind::ZipArchive);
  EXPECT_FALSE(big.isLoaded());
  EXPECT_NE(big.loadError().find("256 MiB"), std::string::npos);

  const std::string longer = dir.file("longer.zip");
  std::filesystem::copy_file(zip, longer);
  patchArchive(longer, 22, 24, 4000);  // declares less than the entry holds
  EXPECT_FALSE(FirmwareImage(longer, "main.ldp", SourceKind::ZipArchive).isLoaded());

  std::vector<uint8_t> bytes = readAll(zip);
  bytes.resize(bytes.size() / 2);
  writeAll(dir.file("cut.zip"), bytes);
  FirmwareImageSet set;
  EXPECT_EQ(set.scanSource(dir.file("cut.zip"), SourceKind::ZipArchive, true), "Unable to open " + dir.file("cut.zip"));
  EXPECT_FALSE(FirmwareImage(dir.file("cut.zip"), "main.ldp", SourceKind::ZipArchive).isLoaded());
  writeAll(dir.file("garbage.zip"), std::vector<uint8_t>(3000, 'P'));
  EXPECT_FALSE(FirmwareImage(dir.file("garbage.zip"), "main.ldp", SourceKind::ZipArchive).isLoaded());
}

TEST(SourceScan, LongAndOddEntryNames) {
  TempDir dir;
  std::string error;
  const std::string longName = std::string(400, 'a') + ".ldp";
  ASSERT_TRUE(sample::writeZip(dir.file("odd.zip"),
                               {entry(longName, 10), entry("\xff\xfe.ldp", 10), entry("a\\b/c.ldp", 10)}, error));
  FirmwareImageSet set;
  EXPECT_EQ(set.scanSource(dir.file("odd.zip"), SourceKind::ZipArchive, true), "");
  for (const std::string& n : set.names) EXPECT_LT(n.size(), 260u);
  EXPECT_EQ(set.names.size(), 2u);  // the cut long name no longer ends in ".ldp"
}

TEST(SourceScan, FilesFromFolders) {
  TempDir dir;
  writeAll(dir.file("empty.ldr"), {});
  FirmwareImage empty(dir.path() + "/", "empty.ldr", SourceKind::Folder);
  EXPECT_FALSE(empty.isLoaded());
  FirmwareImage missing(dir.path() + "/", "missing.ldr", SourceKind::Folder);
  EXPECT_FALSE(missing.isLoaded());
  EXPECT_NE(missing.loadError().find("No such file"), std::string::npos);
  EXPECT_FALSE(FirmwareImage(dir.path() + "/", "", SourceKind::Folder).isLoaded());
}

// Paths are UTF-8 everywhere; on Windows they reach the wide-character file functions.
TEST(SourceScan, PathsWithCharactersBeyondAscii) {
  TempDir dir;
  const std::string folder = dir.file("Pr\xC3\xBC" "fung \xE5\x9B\xBA\xE4\xBB\xB6");  // "Prüfung 固件"
  ASSERT_TRUE(std::filesystem::create_directory(pathtext::fromUtf8(folder)));
  const std::vector<uint8_t> bytes(300, 0x42);
  std::ofstream(pathtext::fromUtf8(folder + "/main.ldp"), std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  FirmwareImageSet set;
  EXPECT_EQ(set.scanSource(folder + "/main.ldp", SourceKind::Folder, true), "");
  EXPECT_EQ(set.names, (std::vector<std::string>{"main.ldp"}));
  const FirmwareImage image(set.source, "main.ldp", SourceKind::Folder);
  EXPECT_TRUE(image.isLoaded()) << image.loadError();

  std::string error;
  ASSERT_TRUE(sample::writeDistribution(dir.file("dist"), sample::Options{}, error)) << error;
  const std::string zip = folder + "/n\xC3\xA9w.zip";  // "néw.zip"
  std::filesystem::rename(dir.file("dist/named.zip"), pathtext::fromUtf8(zip));
  EXPECT_EQ(set.scanSource(zip, SourceKind::ZipArchive, true), "");
  ASSERT_FALSE(set.names.empty());
  const FirmwareImage entry(zip, set.names.back(), SourceKind::ZipArchive);
  EXPECT_TRUE(entry.isLoaded()) << entry.loadError();
}

// A run's images together are bounded before anything is inflated, and what is ambiguous is refused.
TEST(SourceBounds, ImagesDeclaringTooMuchAreRefusedFromTheDirectory) {
  TempDir dir;
  std::string error;
  const std::string bomb = dir.file("bomb.zip");  // three small entries that declare 200 MiB each
  ASSERT_TRUE(sample::writeZip(bomb, {entry("ramimage.ldr", 64), entry("boot.ldp", 64), entry("main.ldp", 64)}, error));
  patchArchive(bomb, 22, 24, 200u * 1024 * 1024);
  FirmwareImageSet set;
  error = set.scanSource(bomb, SourceKind::ZipArchive, true);
  EXPECT_NE(error.find("declare 600 MiB together, more than the 512 MiB"), std::string::npos) << error;
  EXPECT_TRUE(set.names.empty());
  set.maxSourceBytes = 1024ull * 1024 * 1024;  // --max-source-mib 1024
  EXPECT_EQ(set.scanSource(bomb, SourceKind::ZipArchive, true), "");
}

TEST(SourceBounds, CaseTwinsAreRefused) {
  TempDir dir;
  std::string error;
  const std::string twins = dir.file("twins.zip");
  ASSERT_TRUE(sample::writeZip(twins, {entry("main.ldp", 64), entry("Main.ldp", 32)}, error));
  FirmwareImageSet set;
  error = set.scanSource(twins, SourceKind::ZipArchive, true);
  EXPECT_NE(error.find("holds both main.ldp and Main.ldp, whose names differ only in case"), std::string::npos) << error;
}

TEST(SourceBounds, AFolderDeclaringTooMuchIsRefused) {
  TempDir dir;
  std::filesystem::create_directory(dir.file("big"));
  writeAll(dir.file("big/main.ldp"), std::vector<uint8_t>(3 * 1024 * 1024, 1));
  FirmwareImageSet set;
  set.maxSourceBytes = 2 * 1024 * 1024;
  EXPECT_NE(set.scanSource(dir.file("big") + "/", SourceKind::Folder, true).find("declare 3 MiB together"),
            std::string::npos);
}

TEST(SourceBounds, DataFileNamesTheReceiverWouldSplitAreRefused) {
  TempDir dir;
  FirmwareImageSet set;
  for (const char* name : {"a%b.cfg", "a:b.cfg"})  // refused by name, before the file is read
    EXPECT_NE(set.scanSource(dir.file(name), SourceKind::DataFile, false).find("holds '%' or ':'"), std::string::npos)
        << name;
  writeAll(dir.file("a,b c.cfg"), {1, 2, 3});  // what the receiver's names replace stays allowed
  EXPECT_EQ(set.scanSource(dir.file("a,b c.cfg"), SourceKind::DataFile, false), "");
}

TEST(SourceBounds, AnArchiveOfTooManyEntriesIsRefused) {
  TempDir dir;
  std::string error;
  std::vector<sample::Entry> many;
  for (std::size_t i = 0; i <= FirmwareImageSet::kMaxArchiveEntries; ++i) {
    std::string name = std::to_string(i);
    many.push_back(entry(name.append(".txt"), 0));
  }
  ASSERT_TRUE(sample::writeZip(dir.file("many.zip"), many, error));
  FirmwareImageSet set;
  error = set.scanSource(dir.file("many.zip"), SourceKind::ZipArchive, true);
  EXPECT_NE(error.find("more than 10000 entries"), std::string::npos) << error;
}
