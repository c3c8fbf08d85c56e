// Inputs that are no regular files (Linux: devices and pipes) are refused before anything reads them.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <fstream>

#include "FirmwareImageSet.h"
#include "InputFile.h"
#include "Sha256.h"
#include "SourceDigest.h"
#include "TempDir.h"

namespace {
void write(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }
}  // namespace

// A device or a pipe named as an input would be read for ever, or block until something writes to
// it: each is refused at once, as the source, an image of a folder and a digest list.
TEST(SourceDigest, DevicesAndPipesAreRefusedAtOnce) {
  TempDir dir;
  const std::string fifo = dir.file("main.ldp");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  write(dir.file("x"), "abc");
  FirmwareImageSet set;
  for (const std::string& device : {std::string("/dev/zero"), std::string("/dev/urandom"), fifo}) {
    for (const SourceKind kind : {SourceKind::DataFile, SourceKind::ImageFile, SourceKind::ZipArchive}) {
      const std::string error = set.scanSource(device, kind, true);
      EXPECT_TRUE(error.find("is a device") != std::string::npos || error.find("is a pipe") != std::string::npos) << error;
    }
    const std::string listed = digestSource(dir.file("x"), SourceKind::ImageFile, set, {"", device}).error;
    EXPECT_NE(listed.find("not a regular file"), std::string::npos) << listed;
    std::string error;
    EXPECT_EQ(Sha256::ofFile(device, error), "");
    EXPECT_NE(error.find("not a regular file"), std::string::npos) << error;
  }
  EXPECT_NE(set.scanSource(dir.file("any.ldp"), SourceKind::Folder, true).find("is a pipe"), std::string::npos)
      << "an image of a folder that is a pipe";
}

// A small text input is read within its bound: a longer line or a larger file is refused.
TEST(InputFile, SmallTextInputsAreReadWithinTheirBound) {
  TempDir dir;
  write(dir.file("list"), "one\r\ntwo\n");
  std::vector<std::string> lines;
  std::string error;
  ASSERT_TRUE(inputfile::readLines(dir.file("list"), "The list", 100, 10, lines, error)) << error;
  EXPECT_EQ(lines, (std::vector<std::string>{"one", "two"}));
  write(dir.file("long"), std::string(11, 'x') + "\n");
  EXPECT_FALSE(inputfile::readLines(dir.file("long"), "The list", 100, 10, lines, error));
  EXPECT_NE(error.find("longer than 10"), std::string::npos) << error;
  write(dir.file("big"), std::string(200, '\n'));
  EXPECT_FALSE(inputfile::readLines(dir.file("big"), "The list", 100, 10, lines, error));
  EXPECT_NE(error.find("more than the 100"), std::string::npos) << error;
  EXPECT_FALSE(inputfile::readLines("/dev/zero", "The password file", 100, 10, lines, error));
  EXPECT_NE(error.find("The password file /dev/zero is a device"), std::string::npos) << error;
}
