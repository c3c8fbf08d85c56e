#pragma once
// The Linux child: its process id and the read ends of its pipes, which ChildWait polls.
#include <sys/types.h>

#include "ChildProcess.h"

struct ChildProcess::Impl {
  pid_t pid = -1;
  int out = -1, err = -1;  // nonblocking; -1 once closed
};
