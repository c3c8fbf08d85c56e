#include "SocketApi.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "SystemError.h"

namespace CMNC::socketapi {

int openStream(int family, int protocol) { return ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, protocol); }

bool setNonBlocking(int fd) {
  const int flags = ::fcntl(fd, F_GETFL, 0);
  return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

int startConnect(int fd, const sockaddr* address, int length) {
  return ::connect(fd, address, static_cast<socklen_t>(length));
}

int pendingError(int fd) {
  int error = 0;
  socklen_t length = sizeof error;
  if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return errno;
  return error;
}

int receive(int fd, uint8_t* buffer, int size) {
  return static_cast<int>(::recv(fd, buffer, static_cast<size_t>(size), MSG_DONTWAIT));
}

int send(int fd, const uint8_t* data, int size) {
  return static_cast<int>(::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT));
}

void closeSocket(int fd) {
  ::shutdown(fd, SHUT_RDWR);
  ::close(fd);
}

int lastError() { return errno; }
bool wouldBlock(int error) { return error == EINTR || error == EAGAIN || error == EWOULDBLOCK; }
bool connectPending(int error) { return error == EINPROGRESS; }
std::string errorText(int error) { return SystemMessage(error); }

}  // namespace CMNC::socketapi
