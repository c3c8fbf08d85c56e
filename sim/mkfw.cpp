// vestrel-mkfw: writes the sample firmware distribution into a folder.
#include <signal.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "SampleFirmware.h"
#include "SampleSignature.h"

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a reader that goes away stops that output only
  const char* usage = "usage: vestrel-mkfw DIR [--main-size BYTES] [--hardware N] [--loader-version N] [--sign COMMENT]\n"
                      "--sign COMMENT makes a signing key (its public key DIR/maker.pub) and signs named.zip,\n"
                      "numbered.zip and the named folder's digest list named.sha256 in minisign's format, with\n"
                      "COMMENT as each signature's trusted comment.\n";
  if (argc >= 2 && std::string(argv[1]) == "--help") return std::cout << usage, 0;
  if (argc < 2 || argv[1][0] == '-') return std::cerr << usage, 2;  // never a folder named like an option
  sample::Options options;
  std::string signComment;
  for (int i = 2; i + 1 < argc; i += 2) {
    const std::string a = argv[i];
    if (a == "--main-size") options.mainSize = std::strtoull(argv[i + 1], nullptr, 10);
    else if (a == "--hardware") options.hardwareVersion = std::atoi(argv[i + 1]);
    else if (a == "--loader-version") options.loaderVersion = static_cast<uint32_t>(std::strtoul(argv[i + 1], nullptr, 10));
    else if (a == "--sign") signComment = argv[i + 1];
  }
  std::string error;
  if (!sample::writeDistribution(argv[1], options, error)) {
    std::cerr << "vestrel-mkfw: " << error << "\n";
    return 1;
  }
  const std::string dir = argv[1];
  if (!signComment.empty() &&
      (!sample::writeDigestList(dir + "/named", dir + "/named.sha256", error) ||
       !samplesignature::signFiles(dir, {dir + "/named.zip", dir + "/numbered.zip", dir + "/named.sha256"}, signComment,
                                   error))) {
    std::cerr << "vestrel-mkfw: " << error << "\n";
    return 1;
  }
  std::cout << argv[1] << "\n";
  return 0;
}
