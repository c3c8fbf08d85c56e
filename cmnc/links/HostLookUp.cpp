#include "HostLookUp.h"

#include "AbortSignal.h"
#include "AbortableCall.h"
#include "LinkTiming.h"

namespace CMNC {

HostAddresses::~HostAddresses() {
  if (list_) ::freeaddrinfo(list_);
}

std::vector<std::string> HostAddresses::texts() const {
  std::vector<std::string> out;
  for (const addrinfo* a = list_; a; a = a->ai_next) {
    char host[NI_MAXHOST] = {}, service[NI_MAXSERV] = {};
    if (::getnameinfo(a->ai_addr, static_cast<socklen_t>(a->ai_addrlen), host, sizeof host, service, sizeof service,
                      NI_NUMERICHOST | NI_NUMERICSERV) != 0)
      continue;
    const std::string h = host;
    out.push_back((h.find(':') != std::string::npos ? "[" + h + "]" : h) + ":" + service);
  }
  return out;
}

std::shared_ptr<const HostAddresses> HostLookUp::run(const std::string& host, int port, const AbortSignal& abort,
                                                     std::string& error) {
  auto result = std::make_shared<HostAddresses>();
  const auto lookUp = [result, host, service = std::to_string(port)](int flags) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    result->rc_ = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result->list_);
  };
  lookUp(AI_NUMERICHOST);  // an address needs no name service
  if (result->rc_ == 0 && result->list_) return result;
  result->rc_ = EAI_FAIL;
  // A name: the resolver may wait long on an unreachable name server.
  switch (AbortableCall::run(abort, timing::kNameLookUpMs, [lookUp] { lookUp(0); })) {
    case AbortableCall::Outcome::Aborted:
      error = "Aborted.";
      return nullptr;
    case AbortableCall::Outcome::Timeout:
      error = "Cannot find the host " + host + ": no answer from the name service within " +
              std::to_string(timing::kNameLookUpMs / 1000) + " s.";
      return nullptr;
    case AbortableCall::Outcome::Done: break;
  }
  if (result->rc_ != 0 || !result->list_) {
    error = "Cannot find the host " + host + ": " + ::gai_strerror(result->rc_);
    return nullptr;
  }
  return result;
}

}  // namespace CMNC
