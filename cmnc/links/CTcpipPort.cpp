#include "CTcpipPort.h"

#include "HostLookUp.h"
#include "LoginPrompt.h"
#include "SocketApi.h"
#include "LinkTiming.h"

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

bool CTcpipPort::Connect(const addrinfo* list) {
  std::string error = "no address";
  for (const addrinfo* a = list; a; a = a->ai_next) {
    if (link_.aborted()) break;
    const int fd = socketapi::openStream(a->ai_family, IPPROTO_TCP);
    if (fd < 0) {
      error = socketapi::errorText(socketapi::lastError());
      continue;
    }
    if (ConnectWithTimeout(link_, fd, a->ai_addr, static_cast<int>(a->ai_addrlen), error) == 0) {
      link_.adopt(fd);
      return true;
    }
    socketapi::closeSocket(fd);
  }
  SetErrorText(error + " (" + host_.description + ")");
  return false;
}

bool CTcpipPort::Open(const std::string& address) {
  Close();
  if (link_.aborted()) return false;  // a stopped port stays stopped
  host_ = ParseTcpipAddress(address);
  received_.clear();
  if (host_.host.empty() || host_.port == 0) return false;

  std::string error;
  const std::shared_ptr<const HostAddresses> resolved = HostLookUp::run(host_.host, host_.port, link_.abortSignal(), error);
  if (!resolved) {
    SetErrorText(error);
    return false;
  }
  if (!Connect(resolved->list())) return false;

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
