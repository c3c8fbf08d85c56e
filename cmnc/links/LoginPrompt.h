#pragma once
#include <string>

namespace CMNC {

class SocketLink;

// The TCP/IP login dialogue's reader: the receiver's prompts may arrive in any pieces, so what
// came is kept in received and searched as a whole. Reads at most five times (10 s each); true
// when prompt was seen, false when it never came or the link closed.
//
// Blocks the calling thread (the worker's); a stop ends it through the link's abort latch.
bool waitForPrompt(SocketLink& link, std::string& received, const char* prompt);

}  // namespace CMNC
