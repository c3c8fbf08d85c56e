#pragma once
#include <memory>
#include <string>

namespace CMNC {
class AbortSignal;
}

// A station's requests to the line service's station API over HTTPS: JSON sent with POST, the
// station's token as a bearer token, the answer's status and body read back. The service's
// certificate is checked against the system's trusted certificates, or only against the one file
// the station names (the line's own certificate authority, or the service's own certificate); a
// service that cannot be verified is refused before the token is sent. Linux: libcurl; Windows:
// WinHTTP (the system's TLS and proxy settings). One thread uses an instance; every call blocks up
// to its deadlines, which a set stop cuts short.
class ServiceClient {
 public:
  struct Settings {
    std::string url;     // https://HOST[:PORT]/
    std::string token;   // the station's token
    std::string caFile;  // "" for the system's trusted certificates
  };
  struct Answer {
    int status = 0;
    std::string body;
  };
  // How long a connection (TLS handshake included) may take, and a whole request.
  static constexpr int kConnectTimeoutMs = 5000;
  static constexpr int kRequestTimeoutMs = 20000;
  // How often a wait looks at the stop.
  static constexpr int kStopSliceMs = 50;
  // The largest answer read.
  static constexpr std::size_t kMaxAnswerBytes = 1024 * 1024;

  ServiceClient(Settings settings, const CMNC::AbortSignal* stop);
  ~ServiceClient();
  ServiceClient(const ServiceClient&) = delete;
  ServiceClient& operator=(const ServiceClient&) = delete;

  // POSTs json to path ("/api/station/v1/..."); false with error set (and the remedy, where there
  // is one) when no answer came: the service cannot be reached, could not be verified, took too
  // long, or the stop came.
  bool post(const std::string& path, const std::string& json, Answer& answer, std::string& error);

  // What a refused certificate's error says to do.
  static std::string untrustedRemedy(const std::string& url);

 private:
  struct Platform;
  Settings settings_;
  const CMNC::AbortSignal* stop_;
  std::unique_ptr<Platform> platform_;
};
