#pragma once
// The stop a program that started vestrel.exe (the fleet) can always send it on Windows: a named
// event per process, made by the starter before the process runs. Ctrl-Break reaches a process
// only through a console both share; a fleet started without one (a scheduled task, a service)
// has none.
#include <windows.h>

#include <string>

inline std::wstring stopEventName(DWORD processId) { return L"Local\\vestrel-stop-" + std::to_wstring(processId); }

// The fleet's process id, which it gives each child in its environment: the child watches that
// process, and when it ends (the fleet went away, however) the child stops gently, after the image
// it writes.
constexpr const char* kFleetProcessVariable = "VESTREL_FLEET_PID";
