#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "Minisign.h"
#include "SourceSignature.h"
#include "TempDir.h"

namespace {

// Made by minisign 0.11: a key, and "firmware bytes\n" signed with "release 1" as the trusted
// comment, prehashed (the default) and in the legacy form (-l).
const char kPublicKey[] =
    "untrusted comment: minisign public key 9BE6B44F185148C2\n"
    "RWTCSFEYT7TmmzwZlKZNHDGie9EskHHXGMnLvMOxZqf8UItzlOkUqssT\n";
const char kPrehashed[] =
    "untrusted comment: signature from minisign secret key\n"
    "RUTCSFEYT7Tmm8RlrNp63z9W1g+gvdW1GBegY6Bi+JWlFL7vfSk3N95rkhi1hNpZcDS0lLoVLUTN20r7F5p3HbqVDMohizpfIQM=\n"
    "trusted comment: release 1\n"
    "tCjHHG31MDcLjq2detFowI1WJ3E0IITmcJ1cnZ0KpzBb1X0DpbLpuSPWzEkMdghOE0IbAKA+b2UzVvqrfK9eAQ==\n";
const char kLegacy[] =
    "untrusted comment: signature from minisign secret key\n"
    "RWTCSFEYT7Tmm2+AaZnxDw9v79fSs0v3I6wTFtNDE3eoBoFHAqjYvcS/ZvQ3nqgGRQOolNDKd9dzTPlHyD7Tj8nlv7d+hxosGQk=\n"
    "trusted comment: release 1\n"
    "ROrm18zU2FNu6mXTzzoMVrZh8iFJKRKb1d4jD83csuIE4bqpoj9PWOUdg7btN2tA7yyRreqICNXGaZszg3hECQ==\n";

void write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A signed source in a folder of its own: fw.bin, fw.bin.minisig, the key in keys/maker.pub.
struct Signed {
  TempDir dir;
  Signed(const char* signature = kPrehashed, const std::string& bytes = "firmware bytes\n") {
    write(dir.file("fw.bin"), bytes);
    write(dir.file("fw.bin.minisig"), signature);
    std::filesystem::create_directory(dir.file("keys"));
    write(dir.file("keys/maker.pub"), kPublicKey);
  }
  SignatureCheck check(bool required, bool folderKeys = false) {
    SignatureTrust trust;
    if (folderKeys) trust.keyFolder = dir.file("keys");
    else trust.keyFiles = {dir.file("keys/maker.pub")};
    trust.required = required;
    trust.requiredBy = "--require-signature";
    return sourcesignature::check(dir.file("fw.bin"), SourceKind::ImageFile, "", trust);
  }
};

}  // namespace

// Both forms minisign writes verify, the key named by a file or found in the station's folder; the
// key's id and the trusted comment are what minisign shows.
TEST(SourceSignature, MinisignsOwnSignaturesVerify) {
  for (const char* form : {kPrehashed, kLegacy}) {
    Signed source(form);
    for (const bool inFolder : {false, true}) {
      const SignatureCheck check = source.check(true, inFolder);
      EXPECT_TRUE(check.verified) << check.refusal;
      EXPECT_EQ(check.keyId, "9BE6B44F185148C2");
      EXPECT_EQ(check.trustedComment, "release 1");
    }
  }
}

// What is wrong is refused, each for its own reason; without a required signature an unknown key or
// a garbage signature is only said, but a trusted key's signature that does not match never loads.
TEST(SourceSignature, EachFaultIsRefusedForItsOwnReason) {
  Signed altered(kPrehashed, "firmware bytes!\n");
  EXPECT_NE(altered.check(false).refusal.find("changed after it was signed"), std::string::npos);
  std::string comment = kPrehashed;
  comment.replace(comment.find("release 1"), 9, "release 2");
  Signed recommented(comment.c_str());
  EXPECT_NE(recommented.check(false).refusal.find("trusted comment"), std::string::npos);
  Signed garbage("untrusted comment: x\nAAAA\ntrusted comment: y\nAAAA\n");
  EXPECT_NE(garbage.check(true).refusal.find("not a minisign signature"), std::string::npos);
  EXPECT_TRUE(garbage.check(false).refusal.empty());
  EXPECT_NE(garbage.check(false).warning.find("loaded unverified"), std::string::npos);
  Signed untrusted;
  write(untrusted.dir.file("keys/maker.pub"),
        "untrusted comment: minisign public key 980DF62F1E38C273\n"
        "RWRzwjgeL/YNmO1CuKBOUWhfviqQRNk54EqQKo7U/0ulqGXZVG2XjHY5\n");
  EXPECT_NE(untrusted.check(true).refusal.find("9BE6B44F185148C2, which is not a trusted key"), std::string::npos);
  Signed unsigned_;
  std::filesystem::remove(unsigned_.dir.file("fw.bin.minisig"));
  EXPECT_NE(unsigned_.check(true).refusal.find("is not signed"), std::string::npos);
  const SignatureCheck notRequired = unsigned_.check(false);
  EXPECT_TRUE(notRequired.refusal.empty() && notRequired.warning.empty() && !notRequired.verified);
  // A folder is signed through its digest list: without one, a required signature refuses it.
  SignatureTrust trust;
  trust.required = true;
  EXPECT_NE(sourcesignature::check(unsigned_.dir.path(), SourceKind::Folder, "", trust).refusal.find("--sha256-file"),
            std::string::npos);
  EXPECT_NE(sourcesignature::keyFileProblem(unsigned_.dir.file("fw.bin")).find("no minisign public key"),
            std::string::npos);
}

TEST(SourceSignature, TheStationsPolicyFileRequiresSignaturesOnlyWhenItSaysSo) {
  EXPECT_TRUE(sourcesignature::policyRequires({"# the line's rule", "require-signature = yes"}));
  EXPECT_TRUE(sourcesignature::policyRequires({" require-signature=true\r"}));
  EXPECT_FALSE(sourcesignature::policyRequires({"require-signature = no", "require-signatures = yes"}));
}

// A key whose id begins with a zero is named as minisign names it (in the key file's comment and
// its messages), without the leading zero, so that the history's text is the one the maker sees.
TEST(SourceSignature, AKeysIdReadsAsMinisignPrintsIt) {
  minisign::PublicKey key;
  std::string error;
  ASSERT_TRUE(minisign::parsePublicKey({"untrusted comment: minisign public key D028CF9F89F2270",
                                        "RWRwIp/4+YwCDQABAgMEBQYHCAkKCwwNDg8QERITFBUWFxgZGhscHR4f"},
                                       key, error))
      << error;
  EXPECT_EQ(key.idText(), "D028CF9F89F2270");
}
