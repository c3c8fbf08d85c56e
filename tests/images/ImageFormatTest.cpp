#include <gtest/gtest.h>

#include <algorithm>

#include "FirmwareImage.h"
#include "SampleFirmware.h"
#include "TempDir.h"
#include "ZipFileReader.h"

namespace {
FirmwareImage image(const std::string& name, std::vector<uint8_t> bytes) {
  return FirmwareImage::fromBytes(name, std::move(bytes), SourceKind::Folder);
}
}  // namespace

TEST(ImageFormat, LdrHeader) {
  std::vector<uint8_t> b(24, 0);
  b[11] = 3;
  b[19] = 0x16;
  FirmwareImage full = image("ramimage.ldr", b);
  EXPECT_EQ(full.ldrVersion, 3u);
  EXPECT_EQ(full.ldrHardwareVersion, 22u);
  EXPECT_EQ(full.ldpHardwareVersion, 0xFFFFFFFFu);
  EXPECT_EQ(full.readPosition(), 0u);
  EXPECT_TRUE(full.isRamLoader);

  FirmwareImage twelve = image("x.ldr", std::vector<uint8_t>(b.begin(), b.begin() + 12));
  EXPECT_EQ(twelve.ldrVersion, 3u);
  EXPECT_EQ(twelve.ldrHardwareVersion, 0u);
  EXPECT_EQ(twelve.ldpHardwareVersion, 0u);
  EXPECT_TRUE(twelve.isLoaded());

  FirmwareImage ten = image("x.ldr", std::vector<uint8_t>(b.begin(), b.begin() + 10));
  EXPECT_EQ(ten.ldrVersion, 0u);
}

TEST(ImageFormat, LdpHeaderBothLayouts) {
  std::vector<uint8_t> ff(32, 0);
  ff[0] = ff[1] = ff[2] = ff[3] = 0xFF;
  ff[4] = 0x14;
  ff[19] = 0x99;
  FirmwareImage a = image("main.ldp", ff);
  EXPECT_TRUE(a.isLdp);
  EXPECT_EQ(a.ldpHardwareVersion, 20u);
  EXPECT_EQ(a.ldrVersion, 0xFFFFFFFFu);

  std::vector<uint8_t> other(20, 1);
  other[19] = 22;
  EXPECT_EQ(image("boot.ldp", other).ldpHardwareVersion, 22u);
  FirmwareImage shortOne = image("boot.ldp", std::vector<uint8_t>(19, 1));
  EXPECT_EQ(shortOne.ldpHardwareVersion, 0u);
  EXPECT_EQ(shortOne.ldrHardwareVersion, 0xFFFFFFFFu);

  FirmwareImage upper = image("MAIN.LDP", ff);  // case decides the layout
  EXPECT_FALSE(upper.isLdp);
  EXPECT_EQ(upper.title, "MAIN.LDP");
  EXPECT_EQ(upper.ldpHardwareVersion, 0xFFFFFFFFu);
}

TEST(ImageFormat, ByteReader) {
  FirmwareImage img = image("x.ldr", {1, 2, 3, 4, 5});
  img.rewind();  // the header parse of a short image leaves the cursor at its end
  uint8_t buffer[8] = {};
  EXPECT_EQ(img.read(buffer, 3), 3);
  EXPECT_EQ(img.read(buffer, 8), 2);
  EXPECT_EQ(buffer[1], 5);
  EXPECT_EQ(img.read(buffer, 8), 0);
  EXPECT_TRUE(img.seek(100));
  EXPECT_EQ(img.readPosition(), 5u);
  EXPECT_TRUE(img.seek(-7));
  EXPECT_EQ(img.readPosition(), 0u);
  FirmwareImage copy = img;  // a copy owns its bytes
  img.close();
  EXPECT_FALSE(img.isLoaded());
  EXPECT_FALSE(img.seek(1));
  EXPECT_EQ(img.read(buffer, 1), 0);
  EXPECT_EQ(copy.size(), 5u);
}

TEST(ImageFormat, DataFilesHaveNoHeader) {
  FirmwareImage data = FirmwareImage::fromBytes("/d/ramimage.ldr", std::vector<uint8_t>(40, 7), SourceKind::DataFile);
  EXPECT_FALSE(data.isRamLoader);
  EXPECT_FALSE(data.isLdp);
  EXPECT_EQ(data.ldrVersion, 0u);
}

// The archive reader's window: reads that cross it, seeks from each origin, none outside the file.
TEST(ImageFormat, ZipFileReaderWindow) {
  TempDir dir;
  std::vector<uint8_t> bytes(ZipFileReader::kWindowBytes * 2 + 100);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  std::string error;
  ASSERT_TRUE(sample::writeFile(dir.file("a.zip"), bytes, error)) << error;
  ZipFileReader r;
  ASSERT_TRUE(r.open(dir.file("a.zip")));
  std::vector<uint8_t> got(bytes.size() + 10);
  ASSERT_TRUE(r.seek(ZipFileReader::kWindowBytes - 3, 0));
  EXPECT_EQ(r.read(got.data(), 10), 10u);  // across the window's end
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 10, bytes.begin() + ZipFileReader::kWindowBytes - 3));
  ASSERT_TRUE(r.seek(-5, 2));
  EXPECT_EQ(r.read(got.data(), 10), 5u);  // short at the end
  EXPECT_TRUE(std::equal(got.begin(), got.begin() + 5, bytes.end() - 5));
  EXPECT_EQ(r.read(got.data(), 10), 0u);
  ASSERT_TRUE(r.seek(0, 0));
  EXPECT_EQ(r.read(got.data(), got.size()), bytes.size());  // all of it, window after window
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), got.begin()));
  EXPECT_FALSE(r.seek(1, 2));
  EXPECT_FALSE(r.seek(-1, 0));
  EXPECT_EQ(r.tell(), bytes.size());
  EXPECT_FALSE(r.failed());
  ZipFileReader missing;
  EXPECT_FALSE(missing.open(dir.file("none.zip")));
}
