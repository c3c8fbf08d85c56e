#include "ServiceClient.h"

std::string ServiceClient::untrustedRemedy(const std::string& url) {
  return "The line service at " + url +
         " could not be verified: its certificate is not one this station trusts (or does not name the host the URL "
         "names). If the line has its own certificate authority, name its certificate with --history-ca FILE, or add it "
         "to this computer's trusted certificates; the certificate must name the host exactly as the URL does.";
}
