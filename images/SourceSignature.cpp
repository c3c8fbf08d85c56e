#include "SourceSignature.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "InputFile.h"
#include "Minisign.h"
#include "PathText.h"
#include "PrintableText.h"

namespace sourcesignature {
namespace {

constexpr std::size_t kMaxLineBytes = 1024;

std::string fileName(const std::string& path) { return path.substr(pathtext::lastSeparator(path) + 1); }

struct TrustedKey {
  minisign::PublicKey key;
  std::string file;
};

bool readKeyFile(const std::string& path, TrustedKey& trusted, std::string& error) {
  std::vector<std::string> lines;
  if (!inputfile::readLines(path, "The trusted key", minisign::kMaxFileBytes, kMaxLineBytes, lines, error)) return false;
  if (!minisign::parsePublicKey(lines, trusted.key, error)) {
    error = "The trusted key file " + path + " is no minisign public key: " + error + ".";
    return false;
  }
  trusted.file = path;
  return true;
}

// Every key the station trusts: the named files, then the folder's *.pub files in name order.
bool trustedKeys(const SignatureTrust& trust, std::vector<TrustedKey>& keys, std::string& error) {
  std::vector<std::string> files = trust.keyFiles;
  std::error_code ec;
  const std::filesystem::path folder = pathtext::fromUtf8(trust.keyFolder);
  std::vector<std::string> found;
  if (!trust.keyFolder.empty() && std::filesystem::is_directory(folder, ec))
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
      if (entry.path().extension() == ".pub") found.push_back(pathtext::toUtf8(entry.path()));
  std::sort(found.begin(), found.end());
  files.insert(files.end(), found.begin(), found.end());
  for (const std::string& file : files) {
    TrustedKey trusted;
    if (!readKeyFile(file, trusted, error)) return false;
    keys.push_back(std::move(trusted));
  }
  return true;
}

std::string getItAgain() { return " Get the distribution and its .minisig file again from the maker."; }

// The check's result when the signature cannot be held to a trusted key: refused when a signature
// is required, else a warning and the load goes on.
SignatureCheck unverified(const SignatureTrust& trust, const std::string& why) {
  SignatureCheck check;
  if (trust.required) check.refusal = why + " A signature is required (" + trust.requiredBy + "): nothing is loaded.";
  else check.warning = why + " The source is loaded unverified.";
  return check;
}

}  // namespace

std::string signedFileOf(const std::string& source, SourceKind kind, const std::string& listFile) {
  return kind == SourceKind::Folder ? listFile : source;
}

std::string signatureFileOf(const std::string& signedFile) { return signedFile + ".minisig"; }

std::string keyFileProblem(const std::string& path) {
  TrustedKey trusted;
  std::string error;
  return readKeyFile(path, trusted, error) ? "" : error;
}

bool policyRequires(const std::vector<std::string>& lines) {
  for (std::string line : lines) {
    line.erase(std::remove_if(line.begin(), line.end(), [](char c) { return c == ' ' || c == '\t' || c == '\r'; }),
               line.end());
    if (line == "require-signature=yes" || line == "require-signature=true" || line == "require-signature=1")
      return true;
  }
  return false;
}

SignatureCheck check(const std::string& source, SourceKind kind, const std::string& listFile,
                     const SignatureTrust& trust, const std::function<bool()>& stopped) {
  std::vector<TrustedKey> keys;
  std::string error;
  if (!trustedKeys(trust, keys, error)) return {false, "", "", "", error, ""};
  const std::string signedFile = signedFileOf(source, kind, listFile);
  if (signedFile.empty()) {
    if (!trust.required) return {};
    return unverified(trust, "The folder " + source +
                                 " is signed through the list of its images' digests, and none was named: name it "
                                 "with --sha256-file FILE, its signature FILE.minisig beside it.");
  }
  const std::string signatureFile = signatureFileOf(signedFile);
  std::error_code ec;
  if (!std::filesystem::exists(pathtext::fromUtf8(signatureFile), ec)) {
    if (!trust.required) return {};
    return unverified(trust, "The source " + fileName(signedFile) + " is not signed: there is no " +
                                 fileName(signatureFile) + " beside it." + getItAgain());
  }
  std::vector<std::string> lines;
  minisign::Signature signature;
  if (!inputfile::readLines(signatureFile, "The signature", minisign::kMaxFileBytes, kMaxLineBytes, lines, error) ||
      !minisign::parseSignature(lines, signature, error))
    return unverified(trust, "The signature file " + fileName(signatureFile) + " is not a minisign signature (" +
                                 printable(error) + ")." + getItAgain());
  const auto trusted = std::find_if(keys.begin(), keys.end(),
                                    [&signature](const TrustedKey& k) { return k.key.id == signature.keyId; });
  if (trusted == keys.end())
    return unverified(trust, "The source " + fileName(signedFile) + " is signed by the key " + signature.keyIdText() +
                                 ", which is not a trusted key: name the maker's public key with --trusted-key FILE, "
                                 "or have it put among the station's trusted keys.");
  SignatureCheck result;
  switch (minisign::verify(signedFile, signature, trusted->key, stopped, error)) {
    case minisign::Verdict::Good:
      result.verified = true;
      result.keyId = trusted->key.idText();
      result.keyFile = trusted->file;
      result.trustedComment = printable(signature.trustedComment);
      return result;
    case minisign::Verdict::ContentsChanged:
      result.refusal = "The signature of " + fileName(signedFile) + " by the trusted key " + signature.keyIdText() +
                       " does not match its contents: the file was changed after it was signed, so nothing is "
                       "loaded." + getItAgain();
      return result;
    case minisign::Verdict::CommentChanged:
      result.refusal = "The trusted comment of " + fileName(signatureFile) +
                       " was changed after it was signed, so nothing is loaded." + getItAgain();
      return result;
    case minisign::Verdict::Stopped:
      result.refusal = "The source's signature was not checked: the run was stopped.";
      return result;
    case minisign::Verdict::Unreadable:
      break;
  }
  result.refusal = "The signature of " + fileName(signedFile) + " cannot be checked: " + error + ".";
  return result;
}

}  // namespace sourcesignature
