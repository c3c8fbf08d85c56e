#include <csignal>

#include "BrokenPipe.h"

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }
