#pragma once
#include <functional>
#include <string>
#include <vector>

#include "SourceKind.h"

// Which keys a station trusts to sign firmware, and whether it loads only signed firmware.
struct SignatureTrust {
  std::vector<std::string> keyFiles;  // "--trusted-key FILE", each a minisign public key
  std::string keyFolder;              // the station's folder of trusted keys (*.pub); empty for none
  bool required = false;              // "--require-signature", or the station's policy
  std::string requiredBy;             // what asked for it, for the messages ("--require-signature")
};

// What the source's signature said: the key that signed it and the trusted comment, or why the
// source is refused. A warning is said when a signature is there but could not be held to a key
// and none is required.
struct SignatureCheck {
  bool verified = false;
  std::string keyId;           // 16 hexadecimal digits, as minisign prints it
  std::string keyFile;         // the trusted key file that holds it
  std::string trustedComment;  // printable: control characters shown as U+FFFD
  std::string refusal;
  std::string warning;
};

namespace sourcesignature {

// The file a source's signature covers: the source file itself, or for a folder the list of its
// images' digests (listFile, from "--sha256-file"); empty when there is none.
std::string signedFileOf(const std::string& source, SourceKind kind, const std::string& listFile);

// The signature file beside a signed file: "named.zip.minisig".
std::string signatureFileOf(const std::string& signedFile);

// Checks the source's signature against the trusted keys before anything is read of the source
// or sent anywhere. stopped() is asked while the file is read.
SignatureCheck check(const std::string& source, SourceKind kind, const std::string& listFile,
                     const SignatureTrust& trust, const std::function<bool()>& stopped = {});

// Why a key file cannot be a trusted key; "" when it can. For the command line's "--trusted-key".
std::string keyFileProblem(const std::string& path);

// The station's policy, which an administrator fixes: the folder of trusted keys and whether a
// signature is required (TrustPolicyLinux.cpp: /etc/vestrel; TrustPolicyWindows.cpp: the
// machine's policy in the registry, the folder in the program data).
SignatureTrust stationPolicy();
// Reads "require-signature = yes" from a policy file's lines; false for anything else.
bool policyRequires(const std::vector<std::string>& lines);

}  // namespace sourcesignature
