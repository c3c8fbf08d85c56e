// The TCP/IP login dialogue as a host may play it: any bytes, in any pieces, then the end of the
// connection. The reader must end, keep exactly what came, and judge the greeting.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "LoginPrompt.h"
#include "ReceiverLanguage.h"
#include "SocketLink.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;  // more than a socket pair holds without a reader
  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  const ssize_t written = ::write(fds[1], data, size);
  ::close(fds[1]);
  if (written != static_cast<ssize_t>(size)) {
    ::close(fds[0]);
    return 0;
  }
  CMNC::SocketLink link;
  link.adopt(fds[0]);
  std::string received;
  if (CMNC::waitForPrompt(link, received, "ogin: ")) CMNC::waitForPrompt(link, received, "assword: ");
  const std::string sent(reinterpret_cast<const char*>(data), size);
  if (sent.compare(0, received.size(), received) != 0) __builtin_trap();  // nothing made up, nothing reordered
  std::string tag, body;
  if (CMNC::lang::ParseReply(received, tag, body)) CMNC::lang::IsLoginGreeting(tag);
  return 0;
}
