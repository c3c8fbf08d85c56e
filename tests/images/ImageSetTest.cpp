#include <gtest/gtest.h>

#include "FirmwareImageSet.h"
#include "ImageCatalogue.h"

using namespace catalogue;

namespace {
FirmwareImage named(const std::string& path) {
  return FirmwareImage::fromBytes(path, std::vector<uint8_t>(32, 1), SourceKind::ZipArchive);
}
std::vector<std::string> order(const FirmwareImageSet& set) {
  std::vector<std::string> names;
  for (const FirmwareImage& i : set.images) names.push_back(i.fileName);
  return names;
}
}  // namespace

TEST(ImageSet, AddPutsRamLoadersFirst) {
  FirmwareImageSet set;
  EXPECT_EQ(set.add(named("ramimage.ldr")), 0);
  EXPECT_EQ(set.add(named("main.ldp")), 1);
  EXPECT_EQ(set.add(named("fw/ramimage.ldr")), 0);
  EXPECT_EQ(set.at(1).path, "ramimage.ldr");
  set.clear();
  EXPECT_EQ(set.count(), 0u);
}

TEST(ImageSet, Ordering) {
  const std::vector<std::string> input = {"ramimage.ldr", "main.ldp", "rfbrd.ldr", "powbrd.ldr", "boot.ldp"};
  FirmwareImageSet a, b;
  for (const auto& n : input) a.add(named("fw/" + n)), b.add(named(n));
  a.order(false);
  EXPECT_EQ(order(a), (std::vector<std::string>{"ramimage.ldr", "boot.ldp", "rfbrd.ldr", "powbrd.ldr", "main.ldp"}));
  b.order(true);
  EXPECT_EQ(order(b), (std::vector<std::string>{"ramimage.ldr", "boot.ldp", "rfbrd.ldr", "main.ldp", "powbrd.ldr"}));

  FirmwareImageSet two;
  two.add(named("ramimage.ldr"));
  two.add(named("main.ldp"));
  two.order(true);
  EXPECT_EQ(order(two), (std::vector<std::string>{"ramimage.ldr", "main.ldp"}));
  FirmwareImageSet noLoader;
  for (const char* n : {"main.ldp", "boot.ldp", "rfbrd.ldr"}) noLoader.add(named(n));
  noLoader.order(false);
  EXPECT_EQ(order(noLoader), (std::vector<std::string>{"main.ldp", "boot.ldp", "rfbrd.ldr"}));
}

TEST(ImageSet, NameRules) {
  EXPECT_EQ(titleOf("ramimage.ldr"), "RAM loader");
  EXPECT_EQ(titleOf("sub/main.ldp"), "Main firmware");
  EXPECT_EQ(titleOf("RAMIMAGE.LDR"), "RAMIMAGE.LDR");
  EXPECT_TRUE(isNumberedName("01A_x.ldp"));
  EXPECT_TRUE(isNumberedName("_1F.ldr"));
  EXPECT_TRUE(isNumberedName("fw/012.ldp"));
  EXPECT_TRUE(isNumberedName("012\nline.ldp"));
  EXPECT_FALSE(isNumberedName("1G2.ldp"));
  EXPECT_FALSE(isNumberedName("a01.ldp"));
  EXPECT_FALSE(isNumberedName("01"));
  EXPECT_FALSE(isNumberedName("fw\\012.ldp"));
  EXPECT_FALSE(isNumberedName("a/b/012.ldp"));
  EXPECT_FALSE(isNumberedName("\xff\xfe\xfd.ldp"));
  EXPECT_TRUE(isUtilityLoaderName("fw/_21.ldr"));
  EXPECT_FALSE(isUtilityLoaderName("_2G.ldr"));
  EXPECT_EQ(fileType("1A0.ldp"), 10);
  EXPECT_EQ(utilityLoaderNumber("121.ldp"), 1);
  EXPECT_FALSE(isImageFileName(".ld"));
  EXPECT_TRUE(isImageFileName(".ldp"));
  EXPECT_EQ(baseName("a/b\\c.ldp"), "c.ldp");
  EXPECT_EQ(titleOf(std::string(5000, 'x') + "/main.ldp"), "Main firmware");
}

TEST(ImageSet, NumberedSetsAndTheRamLoaderRule) {
  FirmwareImageSet set;
  set.names = {"a/b/012.ldp"};
  EXPECT_FALSE(set.hasNumberedName(SourceKind::Folder));
  EXPECT_TRUE(set.hasNumberedName(SourceKind::ZipArchive));
  set.names = {"b.ldp", "01A.ldp", "_10.ldr"};
  set.sortNames();
  EXPECT_EQ(set.names, (std::vector<std::string>{"01A.ldp", "_10.ldr", "b.ldp"}));

  set.names = {"main.ldp"};
  EXPECT_EQ(set.findLdpWithoutRamLoader(), std::make_pair(false, 0));
  set.names = {"rfbrd.ldr", "boot.ldp"};
  EXPECT_EQ(set.findLdpWithoutRamLoader(), std::make_pair(false, 1));
  set.names = {"ramimage.ldr", "main.ldp"};
  EXPECT_TRUE(set.findLdpWithoutRamLoader().first);
  set.names = {"rfbrd.ldr"};
  EXPECT_TRUE(set.findLdpWithoutRamLoader().first);
}

TEST(ImageSet, PickerKeepsTheHelper) {
  const std::vector<std::string> named = {"fw/boot.ldp", "fw/main.ldp", "fw/ramimage.ldr"};
  EXPECT_EQ(pickImage(named, "fw/main.ldp", true), (std::vector<std::string>{"fw/ramimage.ldr", "fw/main.ldp"}));
  EXPECT_EQ(pickImage(named, "fw/main.ldp", false), (std::vector<std::string>{"fw/main.ldp"}));
  EXPECT_EQ(pickImage(named, "fw/ramimage.ldr", true), (std::vector<std::string>{"fw/ramimage.ldr"}));
  const std::vector<std::string> numbered = {"01A.ldp", "_10.ldr", "_21.ldr"};
  EXPECT_EQ(pickImage(numbered, "01A.ldp", true), (std::vector<std::string>{"_10.ldr", "01A.ldp"}));
}
