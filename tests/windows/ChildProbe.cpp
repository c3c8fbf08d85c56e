// What a fleet's child sees of what it inherited: started by the fleet's ChildProcess in the test
// of the Windows children, it says whether a handle the fleet held inheritable reached it and
// whether its stop event was given, then waits up to 5 s for a stop through vestrel's own watch.
//   vestrel-childprobe HANDLE
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "InterruptWatch.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  const auto foreign = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(std::strtoull(argv[1], nullptr, 10)));
  DWORD flags = 0;
  // The fleet's event is signalled and inheritable: a handle of that value that is both here was inherited.
  const bool inherited = ::GetHandleInformation(foreign, &flags) && (flags & HANDLE_FLAG_INHERIT) &&
                         ::WaitForSingleObject(foreign, 0) == WAIT_OBJECT_0;
  std::printf("foreign %s\n", inherited ? "inherited" : "not-inherited");
  std::printf("stop-event %s\n", std::getenv("VESTREL_STOP_EVENT") ? "given" : "missing");
  std::printf("pid %lu\n", ::GetCurrentProcessId());
  std::fflush(stdout);
  std::atomic<int> stopped{0};
  const InterruptWatch watch([&](int signal) { stopped = signal; }, [](int) {});
  for (int i = 0; i < 100 && stopped == 0; ++i) ::Sleep(50);
  std::printf("stopped %d\n", stopped.load());
  std::fflush(stdout);
  return 0;
}
