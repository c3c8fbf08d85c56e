#pragma once
#include <memory>
#include <string>
#include <vector>

#include "SocketApi.h"

namespace CMNC {

class AbortSignal;

// The addresses of a TCP/IP host, freed by whichever side lets go last: a look-up given up on
// finishes on its helper thread and may outlive the wait.
class HostAddresses {
 public:
  HostAddresses() = default;
  HostAddresses(const HostAddresses&) = delete;
  HostAddresses& operator=(const HostAddresses&) = delete;
  ~HostAddresses();

  const addrinfo* list() const { return list_; }
  // Every address as numeric text with its port: "127.0.0.1:4001", "[::1]:4001".
  std::vector<std::string> texts() const;

 private:
  friend class HostLookUp;
  int rc_ = EAI_FAIL;
  addrinfo* list_ = nullptr;
};

// Looks a host up: a numeric address at once, on the calling thread; a name on a helper thread,
// waited for at most kNameLookUpMs and ending at once when the abort latch is set (the resolver
// itself cannot be interrupted). IPv4 and IPv6 alike.
//
// Blocks the calling thread (any thread but the one that sets the latch). Null with the reason
// ("Cannot find the host ...", "Aborted.") when there is no address.
class HostLookUp {
 public:
  static std::shared_ptr<const HostAddresses> run(const std::string& host, int port, const AbortSignal& abort,
                                                  std::string& error);
};

}  // namespace CMNC
