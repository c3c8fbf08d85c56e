#pragma once
#include <string>

// Text from a receiver (or from a child process) as it may be shown on a terminal: control
// characters (C0 but line feed and tab, DEL, C1) and bytes that are not UTF-8 become U+FFFD, so
// no escape sequence a receiver sends (colours, a clipboard write) reaches the terminal.
std::string printable(const std::string& text);
