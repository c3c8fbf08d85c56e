#include <gtest/gtest.h>

#include "FirmwareImage.h"
#include "HardwareFit.h"

using hardwarefit::Path;

namespace {
ImageFacts ldr(const std::string& name, uint32_t hardware) {
  ImageFacts f;
  f.name = name;
  f.fileName = name.substr(name.find_last_of('/') + 1);
  f.title = f.fileName;
  f.isRamLoader = f.fileName == "ramimage.ldr";
  f.ldrHardwareVersion = hardware;
  f.ldpHardwareVersion = FirmwareImage::kNoVersion;
  return f;
}
ImageFacts ldp(const std::string& name, uint32_t hardware) {
  ImageFacts f = ldr(name, FirmwareImage::kNoVersion);
  f.isLdp = true;
  f.ldpHardwareVersion = hardware;
  return f;
}
std::vector<ImageFacts> namedSet(uint32_t hardware, const std::string& folder = "") {
  return {ldr(folder + "ramimage.ldr", hardware), ldp(folder + "boot.ldp", hardware), ldr(folder + "rfbrd.ldr", hardware),
          ldp(folder + "main.ldp", hardware)};
}
}  // namespace

// The whole set is judged as each image's own check would judge it: a RAM image by 20 and 22 as
// one, a flash image exactly; the first image that would be refused refuses the set.
TEST(HardwareFit, TheSetIsJudgedWholeAsEachImageWouldBe) {
  EXPECT_EQ(hardwarefit::misfit(namedSet(20), 20, Path::NamedBootLoader), "");
  // A set for hardware 20 on a receiver of 22: its RAM images pass, its flash images do not.
  const std::string refused = hardwarefit::misfit(namedSet(20), 22, Path::NamedBootLoader);
  EXPECT_NE(refused.find("boot.ldp) is built for hardware version 20, the receiver's is 22"), std::string::npos) << refused;
  EXPECT_NE(refused.find("Nothing was sent"), std::string::npos);

  std::vector<ImageFacts> mixed = namedSet(20);
  mixed[0] = ldr("ramimage.ldr", 22);  // a RAM loader for 22 counts as one for 20
  EXPECT_EQ(hardwarefit::misfit(mixed, 20, Path::NamedBootLoader), "");
  mixed[2] = ldr("rfbrd.ldr", 24);
  EXPECT_NE(hardwarefit::misfit(mixed, 20, Path::NamedBootLoader).find("rfbrd.ldr"), std::string::npos);
  // Without a flash image the RAM loader is never sent, so it is not judged.
  EXPECT_EQ(hardwarefit::misfit({ldr("ramimage.ldr", 30), ldr("rfbrd.ldr", 20)}, 20, Path::NamedBootLoader), "");

  // A file upload flashes each image itself: an ".ldr" records no flash hardware version.
  EXPECT_EQ(hardwarefit::misfit({ldp("main.ldp", 20)}, 20, Path::FileUpload), "");
  EXPECT_NE(hardwarefit::misfit({ldp("main.ldp", 20), ldr("rfbrd.ldr", 20)}, 20, Path::FileUpload).find("version none"),
            std::string::npos);
  EXPECT_EQ(hardwarefit::misfit({ldr("settings.cfg", 0)}, 20, Path::DataFile), "");
}

TEST(HardwareFit, NumberedSetsAreJudgedByTheCycleEachImageGets) {
  // "010.ldp" uses loader 0 ("_10.ldr"); "020.ldp" runs from RAM; "030.ldp" without loader 3 too.
  const std::vector<ImageFacts> set = {ldr("_10.ldr", 22), ldp("010.ldp", 20), ldp("020.ldp", 20), ldp("030.ldp", 20)};
  EXPECT_EQ(hardwarefit::misfit(set, 20, Path::NumberedBootLoader), "");
  std::vector<ImageFacts> badLoader = set;
  badLoader[0] = ldr("_10.ldr", 30);
  EXPECT_NE(hardwarefit::misfit(badLoader, 20, Path::NumberedBootLoader).find("_10.ldr"), std::string::npos);
  std::vector<ImageFacts> badRam = set;
  badRam[2] = ldp("020.ldp", 22);
  EXPECT_NE(hardwarefit::misfit(badRam, 20, Path::NumberedBootLoader).find("020.ldp"), std::string::npos);
  // An image of a type this program does not know is skipped, so it is not judged.
  EXPECT_EQ(hardwarefit::misfit({ldp("0f0.ldp", 99)}, 20, Path::NumberedBootLoader), "");
}

// Two models in one archive: the model built for the receiver is kept, and a RAM loader is never
// mistaken for an image of its own.
TEST(HardwareFit, TwinsAreChosenByTheReceiversHardwareOrRefused) {
  std::vector<ImageFacts> twoModels = namedSet(20, "modelA/");
  for (ImageFacts& f : namedSet(22, "modelB/")) twoModels.push_back(f);
  EXPECT_TRUE(hardwarefit::hasTwins(twoModels));
  EXPECT_EQ(hardwarefit::undecidableTwins(twoModels), "");

  std::vector<ImageFacts> forB = twoModels;
  const auto kept = hardwarefit::chooseTwins(forB, 22);
  ASSERT_EQ(forB.size(), 4u);
  for (const ImageFacts& f : forB) EXPECT_EQ(f.name.substr(0, 7), "modelB/") << f.name;
  EXPECT_EQ(kept.size(), 4u);
  EXPECT_FALSE(hardwarefit::hasTwins(forB));
  EXPECT_EQ(hardwarefit::misfit(forB, 22, Path::NamedBootLoader), "");

  std::vector<ImageFacts> forA = twoModels;
  hardwarefit::chooseTwins(forA, 20);
  EXPECT_EQ(forA.front().name, "modelA/ramimage.ldr");
  EXPECT_EQ(hardwarefit::misfit(forA, 20, Path::NamedBootLoader), "");

  // No model for this receiver: the twins stay, and the fit check names one.
  std::vector<ImageFacts> forNone = twoModels;
  hardwarefit::chooseTwins(forNone, 24);
  EXPECT_NE(hardwarefit::misfit(forNone, 24, Path::NamedBootLoader), "");

  // Headers that do not tell them apart refuse the source, both entries named.
  std::vector<ImageFacts> alike = namedSet(20, "modelA/");
  for (ImageFacts& f : namedSet(20, "modelB/")) alike.push_back(f);
  const std::string refused = hardwarefit::undecidableTwins(alike);
  EXPECT_NE(refused.find("modelA/"), std::string::npos);
  EXPECT_NE(refused.find("modelB/"), std::string::npos);
  EXPECT_NE(refused.find("built for hardware version 20"), std::string::npos);
}
