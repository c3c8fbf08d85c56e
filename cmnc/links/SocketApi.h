#pragma once
// The system calls of the socket links, one set per platform (SocketApiPosix.cpp, Berkeley
// sockets; SocketApiWindows.cpp, Winsock). A socket is an int: -1 for none. Winsock's SOCKET is a
// kernel handle, and those keep to 32 significant bits, so it fits; INVALID_SOCKET becomes -1.
#include <cstdint>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#endif

namespace CMNC::socketapi {

// A new stream socket, not inherited by child processes; -1 with lastError() set.
int openStream(int family, int protocol);
// Makes a socket's calls return at once instead of blocking.
bool setNonBlocking(int fd);
// Starts a connect on a non-blocking socket: 0 when connected at once, else -1 and lastError()
// (connectPending() tells whether it goes on in the background).
int startConnect(int fd, const sockaddr* address, int length);
// The error a background connect ended with; 0 when it succeeded.
int pendingError(int fd);
// Non-blocking receive and send: the count, 0 from receive when the peer closed the link, -1 with
// lastError() set. A send never raises a signal on a closed link.
int receive(int fd, uint8_t* buffer, int size);
int send(int fd, const uint8_t* data, int size);
// Shuts the socket down both ways and closes it.
void closeSocket(int fd);

int lastError();
// The call found nothing to do now (no data, a full buffer) or was interrupted: wait and retry.
bool wouldBlock(int error);
bool connectPending(int error);
// The system's one-line text for a socket error.
std::string errorText(int error);

}  // namespace CMNC::socketapi
