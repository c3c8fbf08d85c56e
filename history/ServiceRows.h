#pragma once
#include <memory>
#include <string>

#include "LineRows.h"
#include "ServiceClient.h"

// The line's rows through the line service's station API over HTTPS (ServiceClient): each call a
// request; the service writes the row, once, when it belongs to the station the token names.
class ServiceRows : public LineRows {
 public:
  ServiceRows(std::string url, ServiceAccess access, const CMNC::AbortSignal* stop);

  // Asks the service whether it takes this station's token; false with error set (and its remedy).
  bool hello(std::string& error);
  bool begin(const LoadRecord& row, std::string& error) override;
  bool finish(const LoadRecord& row, std::string& error) override;
  bool deliver(const LoadRecord& row, bool& written, std::string& error) override;
  void markInterrupted(const std::string& station, const std::function<bool(int64_t pid)>& running) override;
  // A publisher of a run's live state through the service, with a client of its own.
  static std::unique_ptr<LivePublisher> publisher(const std::string& url, const ServiceAccess& access,
                                                  const CMNC::AbortSignal* stop);

  // What an answer that is not 200 means, with the service's own word and the remedy.
  static std::string refusal(const std::string& url, const ServiceClient::Answer& answer);

 private:
  bool call(const char* path, const std::string& json, std::string& answer, std::string& error);
  std::string url_;
  ServiceAccess access_;
  ServiceClient client_;
};
