#pragma once
// The Windows child: its process, the job that ends it with the fleet, and its two streams.
#include <windows.h>

#include "ChildProcess.h"
#include "ChildStreamWindows.h"

struct ChildProcess::Impl {
  explicit Impl(ChildWait& w) : wait(w) {}
  ChildWait& wait;
  HANDLE process = nullptr;
  HANDLE job = nullptr;
  HANDLE stopEvent = nullptr;  // the child's stop event (it watches for it by its process id)
  DWORD pid = 0;
  ULONGLONG endedAt = 0;  // when the process was seen ended (GetTickCount64), 0 before
  ChildStream out, err;
};
