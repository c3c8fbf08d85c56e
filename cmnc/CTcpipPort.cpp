#include "CTcpipPort.h"

#include "AbortableCall.h"
#include "LoginPrompt.h"
#include "SocketApi.h"
#include "Timing.h"

namespace CMNC {
namespace {

int ConnectWithTimeout(const SocketLink& link, int fd, const sockaddr* addr, int len, std::string& error) {
  socketapi::setNonBlocking(fd);
  if (socketapi::startConnect(fd, addr, len) == 0) return 0;
  const int started = socketapi::lastError();
  if (!socketapi::connectPending(started)) {
    error = socketapi::errorText(started);
    return -1;
  }
  if (!link.waitConnected(fd, timing::kTcpConnectMs)) {
    // A refused connect shows as a failed wait on some systems: say why when the socket knows.
    const int failed = socketapi::pendingError(fd);
    error = failed != 0 && !link.aborted() ? socketapi::errorText(failed) : "Connection timed out or stopped.";
    return -1;
  }
  const int soError = socketapi::pendingError(fd);
  if (soError != 0) {
    error = socketapi::errorText(soError);
    return -1;
  }
  return 0;
}

}  // namespace

// A look-up's result, freed by whichever side lets go last (the look-up may outlive the wait).
struct CTcpipPort::Resolved {
  Resolved() = default;
  Resolved(const Resolved&) = delete;
  Resolved& operator=(const Resolved&) = delete;
  ~Resolved() {
    if (list) ::freeaddrinfo(list);
  }
  int rc = EAI_FAIL;
  addrinfo* list = nullptr;
};

std::shared_ptr<const CTcpipPort::Resolved> CTcpipPort::Resolve(const std::string& host, int port) {
  auto result = std::make_shared<Resolved>();
  const auto lookUp = [result, host, service = std::to_string(port)](int flags) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_protocol = IPPROTO_TCP;
    hints.ai_flags = flags;
    result->rc = ::getaddrinfo(host.c_str(), service.c_str(), &hints, &result->list);
  };
  lookUp(AI_NUMERICHOST);  // an address needs no name service: at once, on this thread
  if (result->rc == 0 && result->list) return result;
  result->rc = EAI_FAIL;
  // A name: the resolver may wait long on an unreachable name server and cannot be interrupted,
  // so it runs on a helper thread and the open stays bounded and abortable.
  switch (AbortableCall::run(link_.abortSignal(), timing::kNameLookUpMs, [lookUp] { lookUp(0); })) {
    case AbortableCall::Outcome::Aborted:
      SetErrorText("Aborted.");
      return nullptr;
    case AbortableCall::Outcome::Timeout:
      SetErrorText("Cannot find the host " + host + ": no answer from the name service within " +
                   std::to_string(timing::kNameLookUpMs / 1000) + " s.");
      return nullptr;
    case AbortableCall::Outcome::Done: break;
  }
  if (result->rc != 0 || !result->list) {
    SetErrorText("Cannot find the host " + host + ": " + ::gai_strerror(result->rc));
    return nullptr;
  }
  return result;
}

TcpipHost CTcpipPort::ParseAddress(const std::string& address) {
  TcpipHost h;
  std::string fields[3];
  std::size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    std::size_t colon = address.find(':', start);
    if (i == 2 || colon == std::string::npos) {
      fields[i] = address.substr(std::min(start, address.size()));
      break;
    }
    fields[i] = address.substr(start, colon - start);
    start = colon + 1;
  }
  h.host = fields[0];
  const std::string& p = fields[1];
  if (!p.empty() && p.size() <= 5 && p.find_first_not_of("0123456789") == std::string::npos) {
    int port = std::stoi(p);
    if (port >= 1 && port <= 65535) h.port = port;
  }
  h.password = fields[2];
  h.description = h.host + ":" + std::to_string(h.port);
  return h;
}

bool CTcpipPort::Open(const std::string& address) {
  Close();
  if (link_.aborted()) return false;  // a stopped port stays stopped
  host_ = ParseAddress(address);
  received_.clear();
  if (host_.host.empty() || host_.port == 0) return false;

  const std::shared_ptr<const Resolved> resolved = Resolve(host_.host, host_.port);
  if (!resolved) return false;
  const int fd = socketapi::openStream(AF_INET, IPPROTO_TCP);
  if (fd < 0) {
    SetErrorText(socketapi::errorText(socketapi::lastError()));
    return false;
  }
  std::string error;
  const int rc = ConnectWithTimeout(link_, fd, resolved->list->ai_addr, static_cast<int>(resolved->list->ai_addrlen), error);
  if (rc != 0) {
    socketapi::closeSocket(fd);
    SetErrorText(error + " (" + host_.description + ")");
    return false;
  }
  link_.adopt(fd);

  waitForPrompt(link_, received_, "ogin: ");
  const uint8_t lf = '\n';
  std::string writeError;
  if (link_.write(&lf, 1, writeError) != 1) {
    SetErrorText("Unable to send LF; " + (writeError.empty() ? std::string("the receiver closed the connection.") : writeError));
    link_.close();
    return false;
  }
  waitForPrompt(link_, received_, "assword: ");
  return true;
}

int CTcpipPort::Read(uint8_t* buffer, int size, int timeoutMs, int intervalMs) {
  return link_.read(buffer, size, timeoutMs, intervalMs);
}

int CTcpipPort::Write(const uint8_t* data, int size, int /*timeoutMs*/) {
  std::string error;
  int n = link_.write(data, size, error);
  if (!error.empty()) SetErrorText(error);
  return n;
}

}  // namespace CMNC
