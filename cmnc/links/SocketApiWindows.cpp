#include "SocketApi.h"

#include "WindowsText.h"

namespace CMNC::socketapi {
namespace {

SOCKET socketOf(int fd) { return static_cast<SOCKET>(static_cast<std::intptr_t>(fd)); }

}  // namespace

int openStream(int family, int protocol) {
  // WSA_FLAG_NO_HANDLE_INHERIT: a child process does not inherit the socket.
  const SOCKET s = ::WSASocketW(family, SOCK_STREAM, protocol, nullptr, 0, WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
  return s == INVALID_SOCKET ? -1 : static_cast<int>(static_cast<std::intptr_t>(s));
}

bool setNonBlocking(int fd) {
  u_long on = 1;
  return ::ioctlsocket(socketOf(fd), FIONBIO, &on) == 0;
}

int startConnect(int fd, const sockaddr* address, int length) {
  return ::connect(socketOf(fd), address, length) == 0 ? 0 : -1;
}

int pendingError(int fd) {
  int error = 0;
  int length = sizeof error;
  if (::getsockopt(socketOf(fd), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) return lastError();
  return error;
}

int receive(int fd, uint8_t* buffer, int size) {
  const int n = ::recv(socketOf(fd), reinterpret_cast<char*>(buffer), size, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

int send(int fd, const uint8_t* data, int size) {
  const int n = ::send(socketOf(fd), reinterpret_cast<const char*>(data), size, 0);
  return n == SOCKET_ERROR ? -1 : n;
}

void closeSocket(int fd) {
  ::shutdown(socketOf(fd), SD_BOTH);
  ::closesocket(socketOf(fd));
}

int lastError() { return ::WSAGetLastError(); }
bool wouldBlock(int error) { return error == WSAEWOULDBLOCK || error == WSAEINTR; }
bool connectPending(int error) { return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS; }

std::string errorText(int error) {
  return windowstext::systemMessageLine(static_cast<unsigned long>(error));
}

}  // namespace CMNC::socketapi
