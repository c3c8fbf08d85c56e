#include "InputFile.h"
#include "SourceSignature.h"

namespace sourcesignature {

SignatureTrust stationPolicy() {
  constexpr char kPolicyFile[] = "/etc/vestrel/vestrel.conf";
  SignatureTrust trust;
  trust.keyFolder = "/etc/vestrel/trusted-keys";
  std::vector<std::string> lines;
  std::string error;
  constexpr std::size_t kMaxPolicyBytes = 65536;
  if (inputfile::readLines(kPolicyFile, "The station's policy", kMaxPolicyBytes, 4096, lines, error) &&
      policyRequires(lines)) {
    trust.required = true;
    trust.requiredBy = std::string("the station's policy (") + kPolicyFile + ")";
  }
  return trust;
}

}  // namespace sourcesignature
