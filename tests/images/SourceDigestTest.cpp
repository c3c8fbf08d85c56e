#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "FirmwareImageSet.h"
#include "Sha256.h"
#include "SourceDigest.h"
#include "TempDir.h"

namespace {

const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

void write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

}  // namespace

// The system's digest against the standard's vectors, whole and in pieces, from memory and a file.
TEST(Sha256, MatchesTheStandardVectorsInAnyPieces) {
  EXPECT_EQ(Sha256::of("abc", 3), kAbc);
  EXPECT_EQ(Sha256::of("", 0), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
  const std::string million(1000000, 'a');  // larger than one read piece of a file
  Sha256 pieces;
  for (std::size_t at = 0; at < million.size(); at += 4099) pieces.update(million.data() + at, std::min<std::size_t>(4099, million.size() - at));
  const std::string expected = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
  EXPECT_EQ(pieces.hexDigest(), expected);
  TempDir dir;
  write(dir.file("a.bin"), million + million);
  std::string error;
  EXPECT_EQ(Sha256::ofFile(dir.file("a.bin"), error), Sha256::of((million + million).data(), 2 * million.size()));
  EXPECT_EQ(Sha256::ofFile(dir.file("absent.bin"), error), "");
  EXPECT_NE(error.find("absent.bin"), std::string::npos);
  EXPECT_EQ(normalisedSha256(std::string("BA7816BF") + kAbc.substr(8)), kAbc);
  EXPECT_EQ(normalisedSha256(kAbc.substr(1)), "");
  EXPECT_EQ(normalisedSha256(kAbc.substr(1) + "g"), "");
}

// "--sha256" and "--sha256-file" against a source file: the match passes, a mismatch names both
// digests, a list that does not name the file refuses it.
TEST(SourceDigest, ASourceFileIsCheckedByItsDigestOrByItsNameInAList) {
  TempDir dir;
  const std::string source = dir.file("main.ldp");
  write(source, "abc");
  FirmwareImageSet set;
  ASSERT_EQ(set.scanSource(source, SourceKind::ImageFile, false), "");
  EXPECT_EQ(digestSource(source, SourceKind::ImageFile, set, {}).sha256, kAbc) << "digested also when nothing is checked";
  EXPECT_EQ(digestSource(source, SourceKind::ImageFile, set, {kAbc, ""}).error, "");
  const std::string other(64, '0');
  const std::string mismatch = digestSource(source, SourceKind::ImageFile, set, {other, ""}).error;
  EXPECT_NE(mismatch.find(kAbc), std::string::npos) << mismatch;
  EXPECT_NE(mismatch.find(other), std::string::npos) << mismatch;

  write(dir.file("SHA256SUMS"), other + "  other.ldp\r\n" + "not a digest line\n" + kAbc + " *firmware/main.ldp\n");
  EXPECT_EQ(digestSource(source, SourceKind::ImageFile, set, {"", dir.file("SHA256SUMS")}).error, "");
  write(dir.file("SHA256SUMS"), other + "  main.ldp\n");
  EXPECT_NE(digestSource(source, SourceKind::ImageFile, set, {"", dir.file("SHA256SUMS")}).error.find(other), std::string::npos);
  write(dir.file("SHA256SUMS"), kAbc + "  boot.ldp\n");
  EXPECT_NE(digestSource(source, SourceKind::ImageFile, set, {"", dir.file("SHA256SUMS")}).error.find("does not name main.ldp"),
            std::string::npos);
  EXPECT_NE(digestSource(source, SourceKind::ImageFile, set, {"", dir.file("absent")}).error.find("cannot be read"), std::string::npos);
  // A list that is no list is refused, not read into memory.
  write(dir.file("huge"), std::string(2 << 20, 'x') + "\n");
  EXPECT_NE(digestSource(source, SourceKind::ImageFile, set, {"", dir.file("huge")}).error.find("more than"), std::string::npos);
  // The stop ends a digest between two pieces.
  EXPECT_NE(digestSource(source, SourceKind::ImageFile, set, {}, [] { return true; }).error.find("stopped"), std::string::npos);
}

// A folder's images are each checked by name: one the list leaves out is refused.
TEST(SourceDigest, EveryImageOfAFolderMustBeListed) {
  TempDir dir;
  const std::string folder = dir.file("fw");
  std::filesystem::create_directories(folder);
  write(folder + "/main.ldp", "abc");
  write(folder + "/boot.ldp", "boot");
  FirmwareImageSet set;
  ASSERT_EQ(set.scanSource(folder + "/", SourceKind::Folder, false), "");
  ASSERT_EQ(set.names.size(), 2u);
  write(dir.file("list"), kAbc + "  main.ldp\n" + Sha256::of("boot", 4) + "  boot.ldp\n");
  const SourceDigest passed = digestSource(folder + "/", SourceKind::Folder, set, {"", dir.file("list")});
  EXPECT_EQ(passed.error, "");
  EXPECT_EQ(passed.sha256, "") << "a folder is no file of its own";
  write(dir.file("list"), kAbc + "  main.ldp\n");
  EXPECT_NE(digestSource(folder + "/", SourceKind::Folder, set, {"", dir.file("list")}).error.find("boot.ldp"), std::string::npos);
}
