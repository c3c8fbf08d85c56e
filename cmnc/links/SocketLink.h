#pragma once
#include <cstdint>
#include <string>

#include "AbortSignal.h"

namespace CMNC {

// The socket side shared by the TCP/IP and Bluetooth links: a connected stream socket with the
// read, write and purge rules of those links.
//
// Read: a negative time-out means 10 s; the interval is 0 when the time-out is 0, else a negative
// interval means 500 ms (0 for single bytes). A receive of 0 bytes means the peer closed the link:
// the socket is closed so the link reads as no longer open.
class SocketLink {
 public:
  SocketLink() = default;
  ~SocketLink();
  SocketLink(const SocketLink&) = delete;
  SocketLink& operator=(const SocketLink&) = delete;

  bool isOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Clears an earlier abort; called when a new connection starts.
  // Waits for a socket being connected to become writable, abortable. True when it did.
  bool waitConnected(int fd, int timeoutMs) const;
  // Takes ownership of a connected socket.
  void adopt(int fd);
  void close();

  // Returns the count read, 0 when nothing came in time, -1 when closed or aborted.
  int read(uint8_t* buffer, int size, int timeoutMs, int intervalMs);
  // Waits at most 10 s for writability, then sends everything it can. Returns the count sent,
  // 0 when the socket never became writable (error text set), -1 on a socket error.
  int write(const uint8_t* data, int size, std::string& errorText);
  // Flag 8 drains the receive queue, bounded by time and bytes; the abort flags end waits.
  bool purge(uint32_t flags);
  bool aborted() const { return abort_.isSet(); }
  // The latch a stop sets, for waits that are not on the socket (a name look-up).
  const AbortSignal& abortSignal() const { return abort_; }

 private:
  int fd_ = -1;
  AbortSignal abort_;
};

}  // namespace CMNC
